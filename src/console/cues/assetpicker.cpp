#include "assetpicker.h"

#include "consolecolors.h"
#include "consoletext.h"
#include "elidedlabel.h"
#include "lumoicons.h"
#include "plainlabel.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>

AssetPicker::AssetPicker(const QString& title, QList<AssetKind> kinds, MediaFileChooser chooser, QWidget* parent)
    : QWidget(parent), m_kinds(std::move(kinds)), m_chooser(std::move(chooser)), m_name(new ElidedLabel(this)),
      m_clear(new QToolButton(this))
{
    auto* heading = plainLabel(title, this);
    heading->setFont(ConsoleText::caption(heading->font()));
    ConsoleText::setColour(heading, ConsoleColors::secondaryText());

    m_name->setElideMode(Qt::ElideMiddle);
    auto* choose = new QPushButton(QStringLiteral("选择"), this);
    m_clear->setObjectName(QStringLiteral("clear"));
    m_clear->setIcon(lumoIcon(QStringLiteral("xmark")));
    m_clear->setAutoRaise(true);

    auto* row = new QHBoxLayout;
    row->addWidget(m_name, 1);
    row->addWidget(choose);
    row->addWidget(m_clear);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(5);
    column->addWidget(heading);
    column->addLayout(row);

    connect(choose, &QPushButton::clicked, this, [this] {
        if (!m_chooser)
            return;
        m_chooser(window(), m_kinds, [self = QPointer(this), cue = m_cue](const QUrl& url) {
            if (self)
                emit self->chosen(cue, url);
        });
    });
    connect(m_clear, &QToolButton::clicked, this, &AssetPicker::cleared);
    showFileOf({}, std::nullopt);
}

void AssetPicker::showFileOf(const CueOfShow& cue, const std::optional<QUrl>& url)
{
    m_cue = cue;
    m_name->setText(url ? url->fileName() : QStringLiteral("未选择"));
    m_clear->setEnabled(url.has_value());
}

QString AssetPicker::shownName() const
{
    return m_name->text();
}
