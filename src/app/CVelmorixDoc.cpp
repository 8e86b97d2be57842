#include "app/CVelmorixDoc.h"

#include <QFile>
#include <QFileInfo>

bool CVelmorixDoc::OnNewDocument()
{
    m_path.clear();
    return true;
}

bool CVelmorixDoc::OnOpenDocument(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        *error = QStringLiteral("Cannot open \"%1\": it is a folder, not a file.").arg(path);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot open \"%1\": %2.").arg(path, file.errorString());
        return false;
    }
    m_path = info.absoluteFilePath();
    return true;
}
