#include "app/CVelmorixDoc.h"

#include "common/RegularFile.h"

#include <fcntl.h>

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
    std::uint64_t size = 0;
    const std::string reason = vmx::OpenRegularFile(QFile::encodeName(path).toStdString(), O_RDONLY, fd, size);
    if (!reason.empty()) {
        // The sentence names the file and the reason; it begins the message box's text.
        *error = QString::fromLocal8Bit(reason.data(), qsizetype(reason.size()));
        if (!error->isEmpty())
            (*error)[0] = (*error)[0].toUpper();
        return false;
    }
    m_path = QFileInfo(path).absoluteFilePath();
    return true;
}
