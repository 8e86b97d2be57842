// velmorix-settings-shot [SOURCE [SECONDS]]: shows the encoder settings dialog as the main view
// opens it after a merge (SOURCE handed over as the merged file, the current settings copied in)
// and closes it after SECONDS (default 8). Used to take screenshots under Xvfb.

#include "app/CVelmorixApp.h"
#include "convert/EncodeSettings.h"
#include "dialogs/CSettingDlg.h"

#include <QTimer>

#include <clocale>
#include <cstdlib>

int main(int argc, char** argv)
{
    int appArgc = 1;
    CVelmorixApp app(appArgc, argv);
    std::setlocale(LC_NUMERIC, "C");
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 8;
    CSettingDlg dialog;
    if (argc > 1)
        dialog.HandOverMergedFile(QString::fromLocal8Bit(argv[1]));
    dialog.SetLastLoadedDbKind(0);
    dialog.CopySettingsIn(vmx::CurrentEncodeSettings());
    QTimer::singleShot(seconds * 1000, &dialog, &QDialog::accept);
    dialog.DoModal();
    return 0;
}
