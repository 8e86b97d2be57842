#pragma once

#include "recording/ReceiverDisk.h"

#include <QObject>

class CVelmorixView;

// AL and AR: in RECORD MODE the selected recordings of one pane are copied into the other pane's
// database (an empty target pane is first offered a new database), with the copy window live;
// in MP3 and JPEG MODE the chosen PC files go onto the receiver (AL) or the selected receiver
// files onto the PC (AR), with the wait window. The copying runs on the session worker.
class CTransferCommands : public QObject {
    Q_OBJECT
public:
    explicit CTransferCommands(CVelmorixView& view);

    // AL (source side 0) and AR (source side 1).
    void Transfer(int sourceSide);

private:
    void TransferRecordings(int sourceSide);
    void PutMedia(vmx::MediaKind kind);
    void GetMedia(vmx::MediaKind kind);

    CVelmorixView& m_view;
};
