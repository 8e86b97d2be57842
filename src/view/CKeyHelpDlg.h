#pragma once

#include <QDialog>

class QTableWidget;

// The short help window F1 opens: every key of the main window, the button it presses and what
// it does, from the command table (vmx::CommandKeys).
class CKeyHelpDlg : public QDialog {
    Q_OBJECT
public:
    explicit CKeyHelpDlg(QWidget* parent);

    QTableWidget* Table() const { return m_table; }

private:
    QTableWidget* m_table;
};
