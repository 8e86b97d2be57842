#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <unistd.h>

// A receiver disk of its own for one test, made from the demo disk the test suite wrote once
// (VELMORIX_DEMO_DISK): RECORD with the database copied and the part files linked (deleting them
// here leaves the demo disk whole; nothing writes into a part file), MP3 and IMAGE copied. PC/
// holds a second copy of the database with its parts, for the other pane.
class DemoDiskCopy {
public:
    DemoDiskCopy()
    {
        const QDir demo(QStringLiteral(VELMORIX_DEMO_DISK));
        m_ok = m_dir.isValid() && demo.exists(QStringLiteral("RECORD/DZT000.DB")) &&
               CopyFolder(demo, QStringLiteral("RECORD"), QStringLiteral("RECORD")) &&
               CopyFolder(demo, QStringLiteral("RECORD"), QStringLiteral("PC")) &&
               CopyFolder(demo, QStringLiteral("MP3"), QStringLiteral("MP3")) &&
               CopyFolder(demo, QStringLiteral("IMAGE"), QStringLiteral("IMAGE"));
    }

    bool ok() const { return m_ok; }
    QString root() const { return m_dir.path(); }
    QString path(const QString& relative) const { return m_dir.filePath(relative); }
    // The demo database on the receiver, and its copy on the PC.
    QString recordDb() const { return path(QStringLiteral("RECORD/DZT000.DB")); }
    QString pcDb() const { return path(QStringLiteral("PC/DZT000.DB")); }
    bool exists(const QString& relative) const { return QFileInfo::exists(path(relative)); }

    // Puts a copy of the demo database at `relative` (its folder is made; its parts are not).
    bool copyDbTo(const QString& relative) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        return QFile::copy(recordDb(), path(relative));
    }

private:
    bool CopyFolder(const QDir& demo, const QString& from, const QString& to)
    {
        const QDir source(demo.filePath(from));
        if (!QDir(m_dir.path()).mkpath(to))
            return false;
        for (const QFileInfo& file : source.entryInfoList(QDir::Files)) {
            const QString target = m_dir.filePath(to + QLatin1Char('/') + file.fileName());
            const bool part = file.suffix() == QLatin1String("TRP");
            const bool done = part ? ::link(QFile::encodeName(file.filePath()).constData(),
                                            QFile::encodeName(target).constData()) == 0
                                   : QFile::copy(file.filePath(), target);
            if (!done)
                return false;
        }
        return true;
    }

    QTemporaryDir m_dir;
    bool m_ok = false;
};
