#include "chineseqtdialogs.h"

#include <QCoreApplication>
#include <QHash>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

constexpr char kTranslatorName[] = "lumoChineseQtDialogs";

// The file panel's type column asks for words that Qt's shipped Chinese translations lack.
class FileKindWords : public QTranslator
{
  public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        static const QHash<QString, QString> words{{"Folder", "文件夹"},     {"File Folder", "文件夹"},
                                                   {"File", "文件"},         {"Drive", "驱动器"},
                                                   {"Shortcut", "快捷方式"}, {"Unknown", "未知"}};
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        return words.value(QString::fromLatin1(source));
    }
};

} // namespace

void installChineseQtDialogs()
{
    if (!qApp || qApp->findChild<QTranslator*>(kTranslatorName, Qt::FindDirectChildrenOnly))
        return;
    // Qt's dialogs name kinds of files (and write what else they take from the default locale) in Chinese too. The
    // console's own numbers do not come from the default locale: they follow the operator's (operatorLocale()).
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    auto* translator = new QTranslator(qApp);
    translator->setObjectName(kTranslatorName);
    // The console is Chinese even where the system says C or English.
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        qWarning("Qt's Chinese translations (qtbase_zh_CN.qm) are missing: Qt's dialogs stay in English");
    QCoreApplication::installTranslator(translator);
    QCoreApplication::installTranslator(new FileKindWords(qApp));
}
