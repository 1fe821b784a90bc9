#include "fileerrortext.h"

#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>

TEST(FileErrorText, CommonErrorsHaveTextsOfOurOwnAndTheRestKeepTheSystems)
{
    for (int error :
         {EROFS, ENOSPC, EDQUOT, EACCES, EPERM, ENOENT, EMFILE, ENFILE, EFBIG, ENAMETOOLONG, ELOOP, ENOTDIR, EISDIR}) {
        const QString text = fileErrorText(error);
        SCOPED_TRACE(std::strerror(error));
        EXPECT_FALSE(text.isEmpty());
        EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("[A-Za-z]")))) << text.toStdString();
    }
    EXPECT_EQ(fileErrorText(EXDEV), QString::fromLocal8Bit(std::strerror(EXDEV)));
}
