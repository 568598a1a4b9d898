#pragma once

#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

// A helper program that a test runs as another user (nobody) must be where that user can reach
// it: a checkout under a home folder that only its owner may enter (Debian's 0700) keeps that
// user out of the build tree. The copy lives as long as the folder; an empty path when it
// cannot be made, which the test reports instead of waiting for a program that never starts.
inline QString StagedForOtherUsers(const QString& program, QTemporaryDir& folder) {
    constexpr QFile::Permissions kEveryoneRuns =
        QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    if (!folder.isValid() || !QFile::setPermissions(folder.path(), kEveryoneRuns))
        return {};
    const QString copy = folder.filePath(QFileInfo(program).fileName());
    if (!QFile::exists(copy) &&
        (!QFile::copy(program, copy) || !QFile::setPermissions(copy, kEveryoneRuns)))
        return {};
    return copy;
}
