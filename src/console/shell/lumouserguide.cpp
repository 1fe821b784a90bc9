#include "lumouserguide.h"

#include "consolecolors.h"
#include "consoletext.h"
#include "lumoicons.h"
#include "lumomarkview.h"

#include <QBoxLayout>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace {
// One section's box: a faint rounded panel behind its title and steps.
class GuideSectionBox : public QWidget
{
  public:
    using QWidget::QWidget;

  protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath box;
        box.addRoundedRect(QRectF(rect()), 8, 8);
        painter.fillPath(box, QColor::fromRgbF(1, 1, 1, 0.045f));
    }
};

QColor pageBackground()
{
    return QColor::fromRgbF(0.09f, 0.105f, 0.13f);
}
} // namespace

// Shortcuts are written as this platform's keys: the console binds Ctrl.
QList<LumoUserGuide::Section> LumoUserGuide::sections(const QString& recoveryFolder)
{
    return {
        {"工程与素材",
         "folder",
         {QStringLiteral("用「工程」菜单打开项目、另存为或恢复未保存的工程。按 Ctrl+S 保存。未保存的工程备份在 %1："
                         "「恢复未保存工程」取回最新的一份，较早未恢复的以 Parked-日期-时间.json 留在那里，"
                         "可用「打开工程…」打开。")
              .arg(QDir::toNativeSeparators(recoveryFolder)),
          "从文件管理器拖入图片、视频或音频，也可以点素材库的「导入」。文件搬动后，可用「重新定位缺失素材」按文件名匹配"
          "。"}},
        {"时间轴与通讯",
         "timeline.selection",
         {"在节目单选中节目，把素材拖到对应轨道。右键点击空白处可添加媒体或通讯事件，右键点击片段可编辑、预监或删除。",
          "滚轮缩放，右键拖动平移，左键拖动空白处移动时间指针。使用「添加层」扩充轨道。"}},
        {"屏幕与投影校准",
         "display",
         {"用「添加屏幕」扩充输出，在屏幕卡片上绑定外接显示器。多屏时可勾选目标屏幕进行独立播放。",
          "打开「投影模式」调整四角或曲面网格、遮罩、边缘融合和黑位补偿。校准后点「应用到输出」。"}},
        {"播放与投放",
         "play.rectangle",
         {"「播放节目」播放当前所选节目。「开始投放」按选定方式播单个节目或整个节目单。",
          "先用「投放检查」定位缺失素材、无效通讯或不可用输出。用「投放监看」查看各屏当前画面。"}},
        {"音频与灯光",
         "waveform",
         {"右侧「音频控制」可调整背景音乐、音效和各声道音量，查看实时电平或单独静音。", "「灯光控制」模块开发中。"}},
    };
}

LumoUserGuide::LumoUserGuide(const QString& recoveryFolder, QWidget* parent) : QScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* page = new QWidget(this);
    page->setAutoFillBackground(true);
    QPalette palette = page->palette();
    palette.setColor(QPalette::Window, pageBackground());
    page->setPalette(palette);
    viewport()->setPalette(palette);
    viewport()->setAutoFillBackground(true);

    auto* mark = new LumoMark(page);
    mark->setFixedSize(38, 38);
    auto* title = new QLabel(QStringLiteral("Lumoria"), page);
    title->setFont(ConsoleText::scaled(title->font(), 1.75, true));
    auto* subtitle = new QLabel(QStringLiteral("使用说明"), page);
    ConsoleText::setColour(subtitle, ConsoleColors::secondaryText());
    auto* titles = new QVBoxLayout;
    titles->setSpacing(3);
    titles->addWidget(title);
    titles->addWidget(subtitle);
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(mark, 0, Qt::AlignVCenter);
    header->addLayout(titles);
    header->addStretch(1);

    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(18);
    column->addLayout(header);
    for (const Section& section : sections(recoveryFolder))
        column->addWidget(guide(section, page));
    column->addStretch(1);
    setWidget(page);
}

QWidget* LumoUserGuide::guide(const Section& section, QWidget* parent)
{
    auto* box = new GuideSectionBox(parent);
    auto* icon = new QLabel(box);
    icon->setPixmap(lumoIcon(section.icon, ConsoleColors::cyan()).pixmap(18, 18));
    auto* title = new QLabel(section.title, box);
    title->setFont(ConsoleText::headline(title->font()));
    ConsoleText::setColour(title, ConsoleColors::cyan());
    auto* heading = new QHBoxLayout;
    heading->setSpacing(6);
    heading->addWidget(icon);
    heading->addWidget(title);
    heading->addStretch(1);

    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(9);
    column->addLayout(heading);
    for (const QString& step : section.steps) {
        auto* text = new QLabel(step, box);
        text->setObjectName(step);
        text->setWordWrap(true);
        text->setTextFormat(Qt::PlainText);
        text->setFont(ConsoleText::scaled(text->font(), 0.95));
        column->addWidget(text);
        m_steps.append(text);
    }
    return box;
}
