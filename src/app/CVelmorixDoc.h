#pragma once

#include <QString>

// The document: it holds nothing. Opening a file only checks that it can be opened.
class CVelmorixDoc {
public:
    bool OnNewDocument();
    // True when the file can be opened for reading; nothing is read from it. On failure
    // *error says why, in one sentence.
    bool OnOpenDocument(const QString& path, QString* error);
    bool IsModified() const { return false; }
    const QString& PathName() const { return m_path; }

private:
    QString m_path;
};
