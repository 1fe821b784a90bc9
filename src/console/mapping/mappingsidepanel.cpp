#include "mappingsidepanel.h"

#include "consoletext.h"
#include "decimalslider.h"
#include "edithistory.h"
#include "engine.h"
#include "mappingeditorstate.h"
#include "numberfield.h"
#include "plainlabel.h"
#include "screenrolepicker.h"
#include "stepper.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

using namespace MappingPointEdits;

MappingSidePanel::MappingSidePanel(MappingEditorState& state, QWidget* parent) : QScrollArea(parent), m_state(state)
{
    setObjectName(QStringLiteral("mappingSidePanel"));
    setFixedWidth(320);
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget(this);
    content->setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);

    m_previewGrid = new QCheckBox(QStringLiteral("预览校准网格"), content);
    connect(m_previewGrid, &QCheckBox::clicked, &m_state, &MappingEditorState::setPreviewGrid);
    m_source = new ScreenRolePicker(QStringLiteral("本路节目"), content);
    m_source->setObjectName(QStringLiteral("画面来源"));
    connect(m_source, &ScreenRolePicker::picked, this, [this](const std::optional<ScreenRole>& source) {
        apply([&](ProjectorMapping mapping, MappingSelection&) -> std::optional<ProjectorMapping> {
            mapping.source = source;
            return mapping;
        });
    });
    m_meshOn = new QCheckBox(QStringLiteral("启用曲面网格"), content);
    connect(m_meshOn, &QCheckBox::clicked, this, [this](bool on) {
        apply([on](const ProjectorMapping& mapping, MappingSelection& selection) {
            return std::optional(withMesh(mapping, selection, on));
        });
    });
    m_maskOn = new QCheckBox(QStringLiteral("启用多边形遮罩"), content);
    connect(m_maskOn, &QCheckBox::clicked, this, [this](bool on) {
        apply([on](const ProjectorMapping& mapping, MappingSelection& selection) {
            return std::optional(withMask(mapping, selection, on));
        });
    });

    auto headline = [content](const QString& text) {
        auto* label = plainLabel(text, content);
        label->setFont(ConsoleText::headline(label->font()));
        return label;
    };
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 8, 0);
    column->setSpacing(9);
    column->addWidget(m_previewGrid);
    column->addWidget(labelled(QStringLiteral("画面来源"), m_source, content));
    column->addWidget(m_meshOn);
    column->addWidget(makeMeshGroup(content));
    column->addWidget(m_maskOn);
    column->addWidget(makeMaskGroup(content));
    column->addWidget(makeBlackLevel(content));
    column->addWidget(headline(QStringLiteral("输入区域（0–1）")));
    column->addWidget(makeCropFields(content));
    column->addWidget(headline(QStringLiteral("边缘融合")));
    const QString edgeNames[] = {QStringLiteral("左"), QStringLiteral("右"), QStringLiteral("上"),
                                 QStringLiteral("下")};
    for (int i = 0; i < 4; ++i) {
        m_edges[i] = makeSlider(
            edgeNames[i], 0, 0.5,
            [i](const ProjectorMapping& mapping, double width) { return withEdge(mapping, i, width); }, content);
        column->addWidget(labelled(edgeNames[i], m_edges[i], content));
    }
    m_gamma = makeSlider(QStringLiteral("融合曲线"), 0.4, 3.0, withGamma, content);
    column->addWidget(labelled(QStringLiteral("融合曲线"), m_gamma, content));
    column->addStretch(1);
    setWidget(content);

    connect(&state.engine(), &Engine::showChanged, this, &MappingSidePanel::refresh);
    connect(&state, &MappingEditorState::changed, this, &MappingSidePanel::refresh);
    refresh();
}

QWidget* MappingSidePanel::makeMeshGroup(QWidget* parent)
{
    m_meshGroup = new QWidget(parent);
    m_rows = new Stepper(QStringLiteral("行 %1"), 2, 17, m_meshGroup);
    m_rows->setObjectName(QStringLiteral("rows"));
    m_columns = new Stepper(QStringLiteral("列 %1"), 2, 17, m_meshGroup);
    m_columns->setObjectName(QStringLiteral("columns"));
    for (Stepper* stepper : {m_rows, m_columns}) {
        const bool rows = stepper == m_rows;
        connect(stepper, &Stepper::stepped, this, [this, rows](qint64 count) {
            apply([&](const ProjectorMapping& mapping, MappingSelection& selection) {
                return std::optional(resized(mapping, selection, rows, int(count)));
            });
        });
    }
    m_node = new QLabel(m_meshGroup);
    m_node->setFont(ConsoleText::caption(m_node->font()));
    auto* resetHandles = new QPushButton(QStringLiteral("重置控制柄"), m_meshGroup);
    resetHandles->setFont(ConsoleText::caption(resetHandles->font()));
    connect(resetHandles, &QPushButton::clicked, this, [this] {
        apply([](const ProjectorMapping& mapping, MappingSelection& selection) {
            return std::optional(withoutNodeHandles(mapping, selection.selectedNode));
        });
    });

    auto* steppers = new QHBoxLayout;
    steppers->addWidget(m_rows);
    steppers->addWidget(m_columns);
    auto* node = new QHBoxLayout;
    node->addWidget(m_node);
    node->addStretch(1);
    node->addWidget(resetHandles);
    auto* column = new QVBoxLayout(m_meshGroup);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(9);
    column->addLayout(steppers);
    column->addLayout(node);
    return m_meshGroup;
}

QWidget* MappingSidePanel::makeMaskGroup(QWidget* parent)
{
    m_maskGroup = new QWidget(parent);
    m_editMask = new QCheckBox(QStringLiteral("编辑遮罩"), m_maskGroup);
    connect(m_editMask, &QCheckBox::clicked, &m_state, &MappingEditorState::setEditingMask);
    m_addPoint = new QPushButton(QStringLiteral("加点"), m_maskGroup);
    connect(m_addPoint, &QPushButton::clicked, this, [this] { apply(insertMaskPoint); });
    m_removePoint = new QPushButton(QStringLiteral("删点"), m_maskGroup);
    connect(m_removePoint, &QPushButton::clicked, this, [this] { apply(removeMaskPoint); });
    auto* row = new QHBoxLayout(m_maskGroup);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_editMask);
    row->addStretch(1);
    row->addWidget(m_addPoint);
    row->addWidget(m_removePoint);
    return m_maskGroup;
}

QWidget* MappingSidePanel::makeBlackLevel(QWidget* parent)
{
    m_blackLevel = makeSlider(QStringLiteral("黑位补偿"), 0, 0.2, withBlackLevel, parent);
    m_blackLevelText = new QLabel(parent);
    m_blackLevelText->setObjectName(QStringLiteral("blackLevelText"));
    return labelled(QStringLiteral("黑位补偿"), m_blackLevel, parent, m_blackLevelText);
}

QWidget* MappingSidePanel::makeCropFields(QWidget* parent)
{
    auto* fields = new QWidget(parent);
    auto* row = new QHBoxLayout(fields);
    row->setContentsMargins(0, 0, 0, 0);
    const QString titles[] = {QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("宽"), QStringLiteral("高")};
    const CropPart parts[] = {CropPart::x, CropPart::y, CropPart::width, CropPart::height};
    for (int i = 0; i < 4; ++i) {
        auto* title = new QLabel(titles[i], fields);
        title->setFont(ConsoleText::caption(title->font()));
        auto* field = new NumberField(NumberField::Kind::decimal, fields);
        field->setObjectName(titles[i]);
        field->setMaximumFractionDigits(3);
        field->setMinimumWidth(40);
        const CropPart part = parts[i];
        connect(field, &NumberField::committed, this, [this, field, part](double typed) {
            apply([&](const ProjectorMapping& mapping, MappingSelection&) { return withCrop(mapping, part, typed); });
            // A refused or clamped number shows the stored one again.
            field->setValue(cropValue(m_state.mapping(), part));
        });
        m_crop[i] = field;
        auto* stack = new QVBoxLayout;
        stack->addWidget(title);
        stack->addWidget(field);
        row->addLayout(stack);
    }
    return fields;
}

DecimalSlider*
MappingSidePanel::makeSlider(const QString& name, double minimum, double maximum,
                             std::function<std::optional<ProjectorMapping>(const ProjectorMapping&, double)> write,
                             QWidget* parent)
{
    auto* slider = new DecimalSlider(minimum, maximum, parent);
    slider->setObjectName(name);
    EditHistory* history = &m_state.engine().history();
    connect(slider, &QSlider::sliderPressed, history, &EditHistory::beginDrag);
    connect(slider, &QSlider::sliderReleased, history, &EditHistory::endDrag);
    connect(slider, &DecimalSlider::moved, this, [this, write](double value) {
        apply([&](const ProjectorMapping& mapping, MappingSelection&) { return write(mapping, value); });
    });
    return slider;
}

QWidget* MappingSidePanel::labelled(const QString& label, QWidget* control, QWidget* parent, QLabel* value)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plainLabel(label, row));
    layout->addWidget(control, 1);
    if (value)
        layout->addWidget(value);
    return row;
}

// A slider held down while the window closes gets no release; its drag must still end.
void MappingSidePanel::hideEvent(QHideEvent* event)
{
    for (QSlider* slider : findChildren<QSlider*>())
        if (slider->isSliderDown())
            slider->setSliderDown(false);
    QScrollArea::hideEvent(event);
}

void MappingSidePanel::apply(const Edit& edit)
{
    m_state.apply(edit);
}

void MappingSidePanel::refresh()
{
    const ProjectorMapping mapping = m_state.mapping();
    const MappingSelection& selection = m_state.selection();
    m_previewGrid->setChecked(m_state.previewGrid());
    m_source->setScreens(m_state.engine().showScreens(), mapping.source);
    m_meshOn->setChecked(mapping.mesh.has_value());
    m_meshGroup->setVisible(mapping.mesh.has_value());
    m_rows->setValue(dimension(mapping, true));
    m_columns->setValue(dimension(mapping, false));
    m_node->setText(QStringLiteral("节点 %1").arg(selection.selectedNode + 1));
    m_maskOn->setChecked(mapping.polygonMask.has_value());
    m_maskGroup->setVisible(mapping.polygonMask.has_value());
    m_editMask->setChecked(selection.editingMask);
    m_addPoint->setEnabled(selection.editingMask);
    m_removePoint->setEnabled(selection.editingMask && canRemoveMaskPoint(mapping));
    m_blackLevel->setDecimalValue(mapping.blackLevel.value_or(0));
    m_blackLevelText->setText(ConsoleText::percent(mapping.blackLevel.value_or(0)));
    const CropPart parts[] = {CropPart::x, CropPart::y, CropPart::width, CropPart::height};
    for (int i = 0; i < 4; ++i)
        m_crop[i]->setValue(cropValue(mapping, parts[i]));
    for (int i = 0; i < 4; ++i)
        m_edges[i]->setDecimalValue(edge(mapping, i));
    m_gamma->setDecimalValue(mapping.gamma);
}
