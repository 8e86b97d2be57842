#include "dialogs/ChooseEdlFile.h"

#include <QFile>
#include <QFileDialog>

std::string ChooseEdlFile(QWidget* owner, EdlChoice choice, const std::string& start)
{
    const bool save = choice == EdlChoice::Save;
    QFileDialog dialog(owner, save ? QStringLiteral("Save EDL") : QStringLiteral("Load EDL"));
    dialog.setNameFilters({QStringLiteral("EDL files (*.edl *.EDL)"), QStringLiteral("All files (*)")});
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("edl"));
        dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(start)));
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setDirectory(QFile::decodeName(QByteArray::fromStdString(start)));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}
