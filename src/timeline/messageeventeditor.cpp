#include "messageeventeditor.h"

#include "consolecolors.h"
#include "consoletext.h"
#include "editorwidgets.h"
#include "numberfield.h"
#include "timelinegeometry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

MessageEventEditor::MessageEventEditor(const TimelineEvent& draft, Save save, QWidget* parent)
    : QWidget(parent), m_draft(draft), m_save(std::move(save))
{
    setFixedWidth(kWidth);
    m_time = new NumberField(NumberField::Kind::decimal, this);
    m_time->setObjectName(QStringLiteral("messageTime"));
    m_time->setPlaceholderText(QStringLiteral("秒"));
    m_time->setFixedWidth(100);
    m_time->setValue(m_draft.time);
    connect(m_time, &NumberField::committed, this,
            [this](double seconds) { edit([&](auto& e) { e.time = seconds; }); });
    auto* timeRow = new QHBoxLayout;
    timeRow->addWidget(new QLabel(QStringLiteral("触发时间（秒）"), this));
    timeRow->addWidget(m_time);
    timeRow->addStretch(1);

    auto* cancel = new QPushButton(QStringLiteral("取消"), this);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &MessageEventEditor::dismissed);
    m_saveButton = new QPushButton(QStringLiteral("保存事件"), this);
    m_saveButton->setDefault(true);
    connect(m_saveButton, &QPushButton::clicked, this, &MessageEventEditor::saveDraft);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(m_saveButton);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(14);
    column->addWidget(EditorWidgets::headline(QStringLiteral("通讯事件"), this));
    column->addLayout(timeRow);
    column->addWidget(makeMessageFields());
    column->addLayout(buttons);
    refresh();
}

QWidget* MessageEventEditor::makeMessageFields()
{
    auto* fields = new QWidget(this);
    m_transport = new QComboBox(fields);
    m_transport->setObjectName(QStringLiteral("transport"));
    for (Transport transport : allCases<Transport>())
        m_transport->addItem(rawValue(transport));
    m_transport->setCurrentIndex(int(allCases<Transport>().indexOf(m_draft.transport)));
    connect(m_transport, &QComboBox::activated, this,
            [this](int index) { edit([&](auto& e) { e.transport = allCases<Transport>().at(index); }); });

    m_host = new QLineEdit(m_draft.host, fields);
    m_host->setObjectName(QStringLiteral("host"));
    m_host->setPlaceholderText(QStringLiteral("目标 IP 或主机名"));
    connect(m_host, &QLineEdit::textEdited, this,
            [this](const QString& text) { edit([&](auto& e) { e.host = text; }); });

    // Any whole number is taken, so that the validity rule can say when a port is out of range.
    m_port = new NumberField(NumberField::Kind::integer, fields);
    m_port->setObjectName(QStringLiteral("port"));
    m_port->setPlaceholderText(QStringLiteral("端口"));
    m_port->setFixedWidth(90);
    m_port->setValue(double(m_draft.port));
    connect(m_port, &NumberField::committed, this,
            [this](double port) { edit([&](auto& e) { e.port = qint64(port); }); });

    m_hex = new QCheckBox(QStringLiteral("十六进制"), fields);
    m_hex->setChecked(m_draft.hex);
    connect(m_hex, &QCheckBox::toggled, this, [this](bool on) { edit([&](auto& e) { e.hex = on; }); });

    m_oscAddress = new QLineEdit(m_draft.oscAddress, fields);
    m_oscAddress->setObjectName(QStringLiteral("oscAddress"));
    m_oscAddress->setPlaceholderText(QStringLiteral("OSC 地址（如 /cue/go）"));
    connect(m_oscAddress, &QLineEdit::textEdited, this,
            [this](const QString& text) { edit([&](auto& e) { e.oscAddress = text; }); });

    m_payloadTitle = new QLabel(fields);
    m_payload = new QPlainTextEdit(m_draft.payload, fields);
    m_payload->setObjectName(QStringLiteral("payload"));
    m_payload->setTabChangesFocus(true);
    const int line = m_payload->fontMetrics().lineSpacing();
    m_payload->setMinimumHeight(2 * line + 12);
    m_payload->setMaximumHeight(3 * line + 12);
    connect(m_payload, &QPlainTextEdit::textChanged, this,
            [this] { edit([&](auto& e) { e.payload = m_payload->toPlainText(); }); });

    m_hint = new QLabel(QStringLiteral("请检查地址、端口和消息内容"), fields);
    m_hint->setFont(ConsoleText::caption(m_hint->font()));
    ConsoleText::setColour(m_hint, ConsoleColors::orange());
    // The hint's line stays reserved while it is hidden, so the fields above do not move as it comes and goes.
    QSizePolicy keepsItsLine = m_hint->sizePolicy();
    keepsItsLine.setRetainSizeWhenHidden(true);
    m_hint->setSizePolicy(keepsItsLine);

    auto* target = new QHBoxLayout;
    target->addWidget(new QLabel(QStringLiteral("协议"), fields));
    target->addWidget(m_transport);
    target->addWidget(m_host, 1);
    target->addWidget(m_port);
    target->addWidget(m_hex);
    auto* column = new QVBoxLayout(fields);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addLayout(target);
    column->addWidget(m_oscAddress);
    column->addWidget(m_payloadTitle);
    column->addWidget(m_payload);
    column->addWidget(m_hint);
    return fields;
}

bool MessageEventEditor::validTime() const
{
    return TimelineGeometry::isValidTime(m_draft.time);
}

void MessageEventEditor::edit(const std::function<void(TimelineEvent&)>& change)
{
    change(m_draft);
    refresh();
}

// Fields of the other transports stay in the draft while hidden, and are saved with it.
void MessageEventEditor::refresh()
{
    const bool osc = m_draft.transport == Transport::osc;
    m_hex->setVisible(!osc);
    m_oscAddress->setVisible(osc);
    m_payloadTitle->setText(osc ? QStringLiteral("OSC 字符串参数") : QStringLiteral("消息内容"));
    m_payload->setPlaceholderText(m_payloadTitle->text());
    const bool validMessage = m_draft.validMessage();
    m_hint->setVisible(!validMessage);
    m_saveButton->setEnabled(validTime() && validMessage);
}

void MessageEventEditor::saveDraft()
{
    if (!validTime() || !m_draft.validMessage())
        return;
    m_save(m_draft);
    emit dismissed();
}
