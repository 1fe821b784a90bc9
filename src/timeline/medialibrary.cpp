#include "medialibrary.h"

#include "sectionplaceholder.h"

#include <QVBoxLayout>

// Until the library panel is built, a labelled area stands in the left column.
MediaLibrary::MediaLibrary(TimelineEditorModel&, QWidget* parent) : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(new SectionPlaceholder(QStringLiteral("工程素材"), this));
}
