#pragma once

#include "controls/DialogUnits.h"

#include <QDialog>

class CColorLabel;

// The wait window "Please Wait" (template 137): one colour label with the text, no buttons. At
// most one exists. It is modeless, so the window behind it keeps painting while the work runs
// on another thread, and the user cannot close it (title bar, Alt+F4 or Escape): a merge or a
// cut is never left half done by a click. Only the work's end closes it.
class CPleaseWait : public QDialog {
    Q_OBJECT
public:
    explicit CPleaseWait(QWidget* owner = nullptr);
    ~CPleaseWait() override;

    // Shows the wait window over `owner` with `text`. When one is shown already, it only gets
    // the focus (its text stays). Returns the window.
    static CPleaseWait* ShowWaitWindow(QWidget* owner, const QString& text = QStringLiteral("Please Wait!"));
    // The wait window while there is one, else null.
    static CPleaseWait* Current();
    // The work has ended: closes and frees the wait window, if there is one.
    static void CloseWaitWindow();

    void SetText(const QString& text);
    QString Text() const;
    CColorLabel* Label() const { return m_label; }

public slots:
    // Escape: the window stays.
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    vmx::DialogBaseUnits m_units;
    CColorLabel* m_label = nullptr;
    bool m_closing = false;  // closed by the work's end, not by the user
};
