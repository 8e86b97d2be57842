#include "app/CVelmorixDoc.h"

#include "convert/FileHelpers.h"

#include <QFile>
#include <QFileInfo>

bool CVelmorixDoc::OnNewDocument()
{
    m_path.clear();
    return true;
}

bool CVelmorixDoc::OnOpenDocument(const QString& path, QString* error)
{
    // Only a regular file is a document; a FIFO or device is refused without waiting on it.
    vmx::UniqueFd fd;
    const std::string reason = vmx::OpenRegularFile(QFile::encodeName(path).toStdString(), fd);
    if (!reason.empty()) {
        *error = QStringLiteral("Cannot open \"%1\": %2.").arg(path, QString::fromStdString(reason));
        return false;
    }
    m_path = QFileInfo(path).absoluteFilePath();
    return true;
}
