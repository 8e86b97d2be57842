#pragma once

#include "controls/CColorFormView.h"
#include "controls/DialogUnits.h"
#include "recording/RecordingSession.h"

#include <QFont>
#include <QHash>

class CBitmapButton;
class CColorLabel;
class CGomxctrl1;
class CMarkBar;
class CSkinSlider;
class QComboBox;
class QLineEdit;
class QTableWidget;

// The program's one view: the main form with the player, position slider, mark bar, details
// labels, both panes, the mode selector and the command buttons, laid out from the form
// template in dialog units of the form's font.
class CVelmorixView : public CColorFormView {
    Q_OBJECT
public:
    explicit CVelmorixView(QWidget* parent = nullptr);
    ~CVelmorixView() override;

    // Sets up the recording session (both record stores), fonts, labels, mark bar, slider,
    // buttons and mode selector.
    void OnInitialUpdate();
    // Releases both record stores through the session (the frame calls it once, when it closes).
    void ReleaseRecordStores();

    // The owner of both panes' databases; every recording command goes through it.
    vmx::RecordingSession& Session() { return m_session; }

    QSize DesignSize() const;
    QSize sizeHint() const override { return DesignSize(); }

    CGomxctrl1* Player() const { return m_player; }
    CSkinSlider* PositionSlider() const { return m_slider; }
    CMarkBar* MarkBar() const { return m_markBar; }
    QTableWidget* Pane(int side) const { return side == 0 ? m_leftPane : m_rightPane; }
    QComboBox* ModeSelector() const { return m_modeSelector; }
    QLineEdit* NameEdit() const { return m_nameEdit; }
    CColorLabel* Label(int id) const;
    CBitmapButton* Button(int id) const;
    QWidget* Control(int id) const { return m_controls.value(id); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void LayOut();
    void SetRecordColumns();
    void FitModeSelectorText();

    vmx::RecordingSession m_session;
    DialogBaseUnits m_units;
    QHash<int, QWidget*> m_controls;
    CGomxctrl1* m_player = nullptr;
    CSkinSlider* m_slider = nullptr;
    CMarkBar* m_markBar = nullptr;
    QTableWidget* m_leftPane = nullptr;
    QTableWidget* m_rightPane = nullptr;
    QComboBox* m_modeSelector = nullptr;
    QLineEdit* m_nameEdit = nullptr;
    QFont m_headerFont;
    QFont m_pathFont;
    QFont m_timeFont;
    QFont m_detailsFont;
};
