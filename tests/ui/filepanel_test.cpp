#include "eventwait.h"
#include "filepanel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// The import panel on a folder of the given number of empty pictures, shown and listed whole; any message it shows
// is closed and kept.
class ImportPanel : public ::testing::Test
{
  protected:
    void open(int files)
    {
        for (int i = 0; i < files; ++i) {
            const QString name = QStringLiteral("p%1.png").arg(i, 5, 10, QLatin1Char('0'));
            QFile file(folder.filePath(name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            expected.append(QUrl::fromLocalFile(folder.filePath(name)));
        }
        FilePanelRequest request;
        request.mode = FilePanelRequest::Mode::openFiles;
        request.nameFilters = {QStringLiteral("图片 (*.png *.jpg)")};
        panel = std::make_unique<FilePanel>(request);
        panel->setDirectory(folder.path());
        panel->show();
        panel->activateWindow();
        // The listing as shown, in either of its views.
        view = panel->findChild<QAbstractItemView*>(
            panel->viewMode() == QFileDialog::Detail ? QStringLiteral("treeView") : QStringLiteral("listView"));
        field = panel->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_TRUE(view && field);
        ASSERT_TRUE(waitUntil([&] { return view->model()->rowCount(view->rootIndex()) == files; }, 60000));
        QObject::connect(&closeMessages, &QTimer::timeout, [this] {
            if (auto* message = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                messages.append(message->text());
                message->accept();
            }
        });
        closeMessages.start(20);
    }
    // Pressed "打开" (or Return) with the keyboard in the listing; what the panel handed on, if it closed.
    // The panel stays up for the next step.
    std::optional<QList<QUrl>> confirm()
    {
        panel->setResult(QDialog::Rejected);
        static_cast<QDialog&>(*panel).accept();
        std::optional<QList<QUrl>> chosen;
        if (panel->result() == QDialog::Accepted)
            chosen = panel->chosen();
        panel->show();
        view->setFocus();
        return chosen;
    }

    QTemporaryDir temporary;
    QDir folder{temporary.path()};
    QList<QUrl> expected;
    std::unique_ptr<FilePanel> panel;
    QAbstractItemView* view = nullptr;
    QLineEdit* field = nullptr;
    QTimer closeMessages;
    QStringList messages;
};

QList<QUrl> sorted(QList<QUrl> urls)
{
    std::sort(urls.begin(), urls.end());
    return urls;
}

} // namespace

// "Select all" fills the name field with every name, quoted, until the field is full: the panel takes the selection
// whole, however many files it holds.
TEST_F(ImportPanel, TakesAWholeSelectionTheNameFieldCannotHold)
{
    open(20000);
    view->setFocus();
    view->selectAll();
    ASSERT_TRUE(waitUntil([&] { return !field->text().isEmpty(); }));
    EXPECT_EQ(field->text().size(), field->maxLength()) << "the field held every name: the test shows nothing";
    const std::optional<QList<QUrl>> chosen = confirm();
    EXPECT_EQ(messages, QStringList{});
    ASSERT_TRUE(chosen);
    EXPECT_EQ(sorted(*chosen), expected);
}

// Names typed over a selection are what the operator meant; a selection of a few names is taken as it stands.
TEST_F(ImportPanel, TakesTypedNamesOverTheSelection)
{
    open(40);
    view->setFocus();
    view->selectAll();
    ASSERT_TRUE(waitUntil([&] { return field->text().startsWith(u'"'); }));
    EXPECT_EQ(sorted(confirm().value_or(QList<QUrl>{})), expected);

    view->selectAll();
    field->setFocus();
    field->selectAll();
    field->insert(QStringLiteral("\"p00007.png\" \"p00003.png\""));
    EXPECT_EQ(confirm(), (QList<QUrl>{expected[7], expected[3]}));

    view->clearSelection();
    const QModelIndex row = view->model()->index(5, 0, view->rootIndex());
    view->selectionModel()->select(row, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ASSERT_TRUE(waitUntil([&] { return field->text() == row.data().toString(); }));
    EXPECT_EQ(confirm(), QList<QUrl>{QUrl::fromLocalFile(folder.filePath(row.data().toString()))});

    field->setFocus();
    field->selectAll();
    field->insert(QStringLiteral("gone.png"));
    EXPECT_EQ(confirm(), std::nullopt);
    EXPECT_EQ(messages, QStringList{QStringLiteral("找不到“gone.png”")});
}
