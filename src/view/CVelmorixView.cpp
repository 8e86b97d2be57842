#include "view/CVelmorixView.h"

#include "controls/CBitmapButton.h"
#include "controls/CColorLabel.h"
#include "controls/CGomxctrl1.h"
#include "controls/CMarkBar.h"
#include "controls/CSkinSlider.h"
#include "controls/CSliderMessage.h"
#include "convert/UserFolders.h"
#include "dialogs/CExportQueueDlg.h"
#include "dialogs/Utf8Text.h"
#include "view/CAdFinder.h"
#include "view/CCommandKeys.h"
#include "view/CCutEditor.h"
#include "view/CDetailsArea.h"
#include "view/CLoadCommands.h"
#include "view/CMediaCommands.h"
#include "view/CPaneTable.h"
#include "view/CProcessCommands.h"
#include "view/CRecordCommands.h"
#include "view/CUndoCommands.h"
#include "view/CViewPanes.h"
#include "view/CViewPlayer.h"
#include "view/CWorkWindows.h"
#include "view/FormTemplate.h"
#include "viewmodel/CommandKeys.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QShortcut>
#include <QTableWidget>
#include <QTimer>

#include <utility>

namespace {

constexpr vmx::ColorRef kFormBackground = 0x0000E1FF;
constexpr vmx::ColorRef kBlack = 0x000000;
constexpr vmx::ColorRef kWhite = 0xFFFFFF;
constexpr vmx::ColorRef kRed = 0x0000FF;

constexpr int kDetailsLineIds[] = {ControlId::kDetailsLine1, ControlId::kDetailsLine2, ControlId::kDetailsLine3};

// The controls that stay on while an operation runs: they only pause or stop the player.
bool StaysOnWhileBusy(int id)
{
    return id == ControlId::kPause || id == ControlId::kStop;
}

// The labels' fonts are given by their cell height (ascent plus descent), not by the height of
// their letters: take the largest pixel size whose lines are no taller than the cell. Each size
// measured loads the font anew, which is slow; lines grow nearly in proportion to the size, so the
// sizes measured so far tell where the answer lies, and a size whose lines fill the cell exactly
// is taken without measuring the next.
QFont BlackArial(int cellHeight)
{
    QFont font(QStringLiteral("Arial"));
    font.setWeight(QFont::Black);
    font.setStyleStrategy(QFont::PreferAntialias);
    const auto lineHeight = [&font](int pixels) {
        font.setPixelSize(pixels);
        return QFontMetrics(font).height();
    };
    static double linesPerPixel = 1.17;  // about that of sans-serif faces, until one is measured
    int pixels = std::clamp(int((cellHeight + 0.5) / linesPerPixel), 2, std::max(2, cellHeight));
    int height = lineHeight(pixels);
    while (pixels > 2 && height > cellHeight)
        height = lineHeight(--pixels);
    while (height < cellHeight && pixels < cellHeight) {
        const int next = lineHeight(pixels + 1);
        if (next > cellHeight)
            break;
        ++pixels;
        height = next;
    }
    linesPerPixel = std::max(1, height) / double(pixels);
    font.setPixelSize(pixels);
    return font;
}

} // namespace

CVelmorixView::CVelmorixView(QWidget* parent)
    : CColorFormView(parent)
    , m_units(vmx::BaseUnitsOf(vmx::DialogFont()))
{
    setFont(vmx::DialogFont());
    CreateControls();
    LayOut();
    CreateCommands();
    ConnectCommands();
    // The buttons' tooltips, their keys, the mark keys and F1's help window.
    new CCommandKeys(
        this, m_controls, *m_playerCommands,
        [this](vmx::MarkKey key) {
            if (!IsBusy())
                m_cutEditor->MarkKey(key);
        },
        [this](vmx::EditKey key) {
            // The pane that has the focus, else the one clicked last.
            const int side = m_rightPane->hasFocus() ? vmx::kRightSide
                             : m_leftPane->hasFocus() ? vmx::kLeftSide
                                                      : State().activeSide;
            key == vmx::EditKey::Redo ? m_undo->Redo(side) : m_undo->Undo(side);
        });
}

CVelmorixView::~CVelmorixView()
{
    m_runner->Stop();
}

void CVelmorixView::CreateControls()
{
    using FormTemplate::Kind;
    for (const FormTemplate::Control& control : FormTemplate::Controls()) {
        QWidget* widget = nullptr;
        switch (control.kind) {
        case Kind::Player:
            widget = m_player = new CGomxctrl1(this, control.id);
            break;
        case Kind::Slider:
            widget = m_slider = new CSkinSlider(this, control.id);
            break;
        case Kind::MarkBar:
            widget = m_markBar = new CMarkBar(this, control.id);
            break;
        case Kind::Pane: {
            auto* pane = new CPaneTable(control.id == ControlId::kLeftPane ? vmx::kLeftSide : vmx::kRightSide, this);
            pane->setSelectionBehavior(QAbstractItemView::SelectRows);
            pane->setSelectionMode(QAbstractItemView::ExtendedSelection);
            pane->setEditTriggers(QAbstractItemView::NoEditTriggers);
            pane->verticalHeader()->hide();
            pane->setShowGrid(true);
            pane->SetDesignWidth(vmx::DluToPixels(control.dlu, m_units).width());
            (control.id == ControlId::kLeftPane ? m_leftPane : m_rightPane) = pane;
            widget = pane;
            break;
        }
        case Kind::ModeSelector:
            widget = m_modeSelector = new QComboBox(this);
            break;
        case Kind::NameEdit:
            widget = m_nameEdit = new QLineEdit(this);
            break;
        case Kind::Label: {
            auto* label = new CColorLabel(this);
            label->SetText(QString::fromLatin1(control.caption));
            widget = label;
            break;
        }
        case Kind::Button: {
            auto* button = new CBitmapButton(this, control.id);
            button->setText(QString::fromLatin1(control.caption));
            widget = button;
            break;
        }
        }
        widget->setObjectName(QStringLiteral("control%1").arg(control.id));
        m_controls.insert(control.id, widget);
    }
}

void CVelmorixView::CreateCommands()
{
    m_runner = std::make_unique<CSessionRunner>(
        this, std::array<QTableWidget*, 2>{m_leftPane, m_rightPane},
        std::array<CColorLabel*, 2>{Label(ControlId::kLeftCaption), Label(ControlId::kRightCaption)});
    m_details = std::make_unique<CDetailsArea>(
        std::array<CColorLabel*, 3>{Label(ControlId::kDetailsLine1), Label(ControlId::kDetailsLine2),
                                    Label(ControlId::kDetailsLine3)},
        Label(ControlId::kTimeLabel), m_nameEdit, m_markBar, nullptr);
    m_playerCommands = std::make_unique<CViewPlayer>(
        m_runner->State(), m_player, m_slider, m_details.get(), Ui(),
        [this](bool enable) { EnableCommand(ControlId::kModeSelector, enable); }, nullptr);
    m_load = std::make_unique<CLoadCommands>(*m_runner, *m_details, *m_playerCommands, this);
    m_records = std::make_unique<CRecordCommands>(*m_runner, *m_details, *m_playerCommands);
    m_media = std::make_unique<CMediaCommands>(*m_runner, *m_playerCommands);
    m_cutEditor = std::make_unique<CCutEditor>(m_runner->State(), *m_details, *m_playerCommands, Ui(), this);
    m_adFinder = std::make_unique<CAdFinder>(m_runner->State(), *m_cutEditor, Ui(), this);
    // The export queue window is made when EN first queues an export.
    const auto exportQueue = [this]() -> CExportQueueDlg& { return ExportQueueWindow(); };
    m_processCommands = std::make_unique<CProcessCommands>(*m_runner, *m_details, *m_playerCommands, *m_cutEditor,
                                                           exportQueue, this);
    m_workWindows = std::make_unique<CWorkWindows>(Ui(), this);
    m_undo = std::make_unique<CUndoCommands>(*m_runner, *m_playerCommands, this);
}

void CVelmorixView::ConnectCommands()
{
    const auto onClick = [this](int id, auto handler) {
        connect(Button(id), &QAbstractButton::clicked, this, handler);
    };
    onClick(ControlId::kLoadLeft, [this] { m_load->Load(vmx::kLeftSide); });
    onClick(ControlId::kLoadRight, [this] { m_load->Load(vmx::kRightSide); });
    onClick(ControlId::kRename, [this] { m_records->Rename(); });
    onClick(ControlId::kChooseJpegFiles, [this] { m_media->ChoosePcFiles(vmx::MediaKind::Image); });
    onClick(ControlId::kChooseMp3Files, [this] { m_media->ChoosePcFiles(vmx::MediaKind::Mp3); });
    onClick(ControlId::kPlay, [this] { m_playerCommands->Play(); });
    onClick(ControlId::kPause, [this] { m_playerCommands->Pause(); });
    onClick(ControlId::kStop, [this] { m_playerCommands->Stop(); });
    // AL (source side 0) and AR (1), as the mode has them; also rows dragged onto the other pane.
    const auto transfer = [this](int sourceSide) {
        if (IsBusy())
            return;
        if (State().mode == vmx::ViewMode::Record)
            m_records->Transfer(sourceSide);
        else if (const auto kind = vmx::MediaKindOfMode(State().mode))
            sourceSide == vmx::kLeftSide ? m_media->PutMedia(*kind) : m_media->GetMedia(*kind);
    };
    onClick(ControlId::kTransferLeftToRight, [transfer] { transfer(vmx::kLeftSide); });
    onClick(ControlId::kTransferRightToLeft, [transfer] { transfer(vmx::kRightSide); });
    for (QTableWidget* pane : {m_leftPane, m_rightPane})
        connect(static_cast<CPaneTable*>(pane), &CPaneTable::rowsDropped, this, transfer);
    // Files from a file manager dropped on the left pane in the MP3 and JPEG modes join the PC
    // files waiting for the receiver.
    auto* left = static_cast<CPaneTable*>(m_leftPane);
    left->AcceptFileDrops([this] { return vmx::MediaKindOfMode(State().mode).has_value() && !IsBusy(); });
    connect(left, &CPaneTable::filesDropped, m_media.get(), &CMediaCommands::DropPcFiles);
    onClick(ControlId::kMerge, [this] { m_processCommands->Merge(); });
    onClick(ControlId::kConvert, [this] { m_processCommands->Convert(); });
    onClick(ControlId::kCut, [this] { m_processCommands->Cut(); });
    const QKeySequence queueKey = QKeySequence::fromString(Utf8Text(vmx::kExportQueueKey), QKeySequence::PortableText);
    connect(new QShortcut(queueKey, this), &QShortcut::activated, this, [this] { ExportQueueWindow().ShowBeside(); });
    onClick(ControlId::kAddStretch, [this] { m_cutEditor->Add(); });
    const QKeySequence findAdsKey = QKeySequence::fromString(Utf8Text(vmx::kFindAdsKey), QKeySequence::PortableText);
    connect(new QShortcut(findAdsKey, this), &QShortcut::activated, m_adFinder.get(), &CAdFinder::Find);
    m_markBar->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_markBar, &QWidget::customContextMenuRequested, this, &CVelmorixView::ShowMarkBarMenu);
    connect(m_details.get(), &CDetailsArea::recordShown, m_cutEditor.get(), &CCutEditor::RecordShown);
    connect(&Ui(), &CQtUserInterface::cutMarksShown, m_cutEditor.get(), &CCutEditor::ShowCutMarks);
    connect(m_modeSelector, &QComboBox::currentIndexChanged, m_load.get(), &CLoadCommands::SwitchMode);
    CViewPanes* panes = &m_runner->Panes();
    connect(panes, &CViewPanes::rowClicked, m_load.get(), &CLoadCommands::RowClicked);
    connect(panes, &CViewPanes::currentRowMoved, m_load.get(), &CLoadCommands::CurrentRowMoved);
    connect(panes, &CViewPanes::deletePressed, this, [this](int side) {
        if (side != State().activeSide || IsBusy())
            return;
        if (const auto kind = vmx::MediaKindOfMode(State().mode))
            m_media->Delete(*kind, side);
        else
            m_records->Delete(side);
    });
    // What the commands say happened.
    connect(m_load.get(), &CLoadCommands::commandEnabled, this, &CVelmorixView::EnableCommand);
    connect(m_load.get(), &CLoadCommands::modeChanged, this, &CVelmorixView::ShowMode);
    connect(m_load.get(), &CLoadCommands::mediaModeEntered, m_media.get(), &CMediaCommands::ListReceiverFolder);
    // Without the receiver's folder a media mode has nothing to show: the view goes back to
    // RECORD MODE, and its selector with it, so that choosing the media mode again tries anew.
    connect(m_media.get(), &CMediaCommands::receiverFolderMissing, m_load.get(),
            [this] { m_load->SwitchMode(int(vmx::ViewMode::Record)); });
    connect(panes, &CViewPanes::menuWanted, m_undo.get(), &CUndoCommands::ShowMenu);
    connect(m_runner.get(), &CSessionRunner::reloadWanted, m_load.get(), &CLoadCommands::ReloadChanged);
    connect(&m_runner->Worker(), &CSessionWorker::busyChanged, this, [this] {
        for (auto it = m_controls.cbegin(); it != m_controls.cend(); ++it)
            ApplyEnabled(it.key());
    });
}

QSize CVelmorixView::DesignSize() const
{
    return QSize(vmx::DluToPixelsX(FormTemplate::kWidthDlu, m_units), vmx::DluToPixelsY(FormTemplate::kHeightDlu, m_units));
}

void CVelmorixView::LayOut()
{
    const QSize design = DesignSize();
    const int extraWidth = width() - design.width();
    const int extraHeight = height() - design.height();
    for (const FormTemplate::Control& control : FormTemplate::Controls()) {
        QRect place = FormTemplate::Place(vmx::DluToPixels(control.dlu, m_units), control.anchor, extraWidth, extraHeight);
        if (control.kind == FormTemplate::Kind::ModeSelector) // the template's height includes the list
            place.setHeight(m_modeSelector->sizeHint().height());
        m_controls.value(control.id)->setGeometry(place);
    }
    if (m_undo) {
        const FormTemplate::Strip strip = FormTemplate::UndoStrip();
        m_undo->Place(FormTemplate::Place(vmx::DluToPixels(strip.dlu, m_units), strip.anchor, extraWidth, extraHeight));
    }
}

void CVelmorixView::resizeEvent(QResizeEvent* event)
{
    CColorFormView::resizeEvent(event);
    LayOut();
}

namespace {

// The file that keeps the program's one export queue, in the user's settings folder (empty:
// nowhere).
std::string ExportQueueFile()
{
    const std::string configFolder = vmx::UserConfigFolder();
    return configFolder.empty() ? std::string() : configFolder + vmx::kExportQueueFile;
}

} // namespace

void CVelmorixView::ShowMarkBarMenu(const QPoint& at)
{
    if (State().mode != vmx::ViewMode::Record)
        return;
    const bool selected = State().selectedDetails() != nullptr;
    QMenu menu(this);
    QAction* find = menu.addAction(QStringLiteral("Find ads"), m_adFinder.get(), &CAdFinder::Find);
    find->setShortcut(QKeySequence::fromString(Utf8Text(vmx::kFindAdsKey), QKeySequence::PortableText));
    menu.addAction(QStringLiteral("Cut list"), this, [this] { m_cutEditor->ShowListWindow(); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("Load EDL\u2026"), m_cutEditor.get(), &CCutEditor::LoadEdl);
    QAction* save = menu.addAction(QStringLiteral("Save EDL\u2026"), m_cutEditor.get(), &CCutEditor::SaveEdl);
    save->setEnabled(!m_cutEditor->List().empty());
    for (QAction* action : menu.actions())
        action->setEnabled(action->isEnabled() && selected);
    menu.exec(m_markBar->mapToGlobal(at));
}

CExportQueueDlg& CVelmorixView::ExportQueueWindow()
{
    if (!m_exportQueue)
        m_exportQueue = std::make_unique<CExportQueueDlg>(ExportQueueFile(), this);
    return *m_exportQueue;
}

void CVelmorixView::ResumeExports()
{
    const std::string file = ExportQueueFile();
    if (!m_exportQueue && !file.empty() && QFileInfo::exists(QFile::decodeName(file.c_str())))
        (void)ExportQueueWindow();
}

void CVelmorixView::paintEvent(QPaintEvent* event)
{
    CColorFormView::paintEvent(event);
    if (!m_painted) {
        m_painted = true;
        // The window is up: what waits until then comes next.
        QTimer::singleShot(0, this, &CVelmorixView::ResumeExports);
    }
}

bool CVelmorixView::event(QEvent* event)
{
    const int type = int(event->type());
    if (type == WM_SLIDER_TRACKING || type == WM_SLIDER_RELEASED) {
        const auto* message = static_cast<CSliderMessage*>(event);
        if (message->ControlId() == ControlId::kPositionSlider) {
            if (type == WM_SLIDER_TRACKING)
                m_playerCommands->SliderTracking(message->Position());
            else
                m_playerCommands->SliderReleased();
        }
        return true;
    }
    return CColorFormView::event(event);
}

CColorLabel* CVelmorixView::Label(int id) const
{
    return qobject_cast<CColorLabel*>(m_controls.value(id));
}

CBitmapButton* CVelmorixView::Button(int id) const
{
    return qobject_cast<CBitmapButton*>(m_controls.value(id));
}

bool CVelmorixView::CancelCopy()
{
    return m_workWindows->CancelCopy();
}

void CVelmorixView::EnableCommand(int id, bool enable)
{
    m_wantEnabled.insert(id, enable);
    ApplyEnabled(id);
}

void CVelmorixView::ApplyEnabled(int id)
{
    QWidget* control = m_controls.value(id);
    const bool commandControl = qobject_cast<CBitmapButton*>(control) != nullptr || control == m_modeSelector;
    if (!commandControl)
        return;
    const bool wanted = m_wantEnabled.value(id, true);
    control->setEnabled(wanted && (!IsBusy() || StaysOnWhileBusy(id)));
}

void CVelmorixView::ShowMode()
{
    {
        const QSignalBlocker quiet(m_modeSelector);
        m_modeSelector->setCurrentIndex(int(State().mode));
    }
    const auto buttons = vmx::ButtonsForMode(State().mode);
    if (!buttons)
        return;
    EnableCommand(ControlId::kLoadLeft, buttons->load);
    EnableCommand(ControlId::kLoadRight, buttons->load);
    EnableCommand(ControlId::kChooseJpegFiles, buttons->chooseJpeg);
    EnableCommand(ControlId::kChooseMp3Files, buttons->chooseMp3);
    EnableCommand(ControlId::kConvert, buttons->convert);
    EnableCommand(ControlId::kMerge, buttons->merge);
}

void CVelmorixView::OnInitialUpdate(const QStringList& databases, std::function<void()> loaded)
{
    SetBackgroundColor(kFormBackground);
    update();

    // The record stores and the database file cache, for both panes.
    if (const std::string error = m_runner->Session().init(); !error.empty())
        QMessageBox::critical(this, QString::fromLatin1(CQtUserInterface::kAppTitle),
                              QStringLiteral("The recordings cannot be worked on: %1").arg(QString::fromStdString(error)));
    // The session's worker loads them while the window is set up here; what they loaded is shown
    // once the set-up has returned to the event loop.
    if (!databases.isEmpty())
        LoadDatabases(databases, std::exchange(loaded, {}));

    m_details->SetFonts(BlackArial(20), BlackArial(20));
    CColorLabel* header = Label(ControlId::kHeaderLabel);
    header->setFont(BlackArial(25));
    header->gradientFrom = kBlack;
    CColorLabel* path = Label(ControlId::kPathLabel);
    path->setFont(BlackArial(15));
    path->gradientFrom = kRed;
    path->gradientTo = kBlack;
    path->textColor = kWhite;
    path->alignment = 1;
    path->SetText(QStringLiteral("<< Load Path >>"));
    for (const int id : kDetailsLineIds)
        Label(id)->gradientFrom = kWhite;
    Label(ControlId::kTimeLabel)->gradientFrom = kWhite;
    for (const int id : {ControlId::kLeftCaption, ControlId::kRightCaption})
        Label(id)->gradientFrom = kBlack;

    m_load->SetUpPanes(vmx::ViewMode::Record);
    m_details->ResetMarkBar(100.0f);

    m_slider->SetChannelBitmaps(QStringLiteral("132"), QStringLiteral("133"), false);
    m_slider->SetThumbBitmaps(QStringLiteral("135"), QStringLiteral("136"), true, CSkinSlider::kSampleColor, 0, 0);
    m_slider->SetMargins(2, 3, 2, 0);
    m_slider->SetShowFocus(false, false);
    m_slider->Enable(false);

    for (const FormTemplate::Control& control : FormTemplate::Controls()) {
        if (control.kind == FormTemplate::Kind::Button)
            Button(control.id)->LoadBitmaps(QString::fromLatin1(control.caption));
    }
    // PR waits for a loaded pane, AL and AR for a click in a pane.
    for (const int id : {ControlId::kCut, ControlId::kTransferLeftToRight, ControlId::kTransferRightToLeft})
        EnableCommand(id, false);

    {
        const QSignalBlocker quiet(m_modeSelector);
        m_modeSelector->clear();
        for (const char* name : vmx::kModeNames)
            m_modeSelector->addItem(QString::fromLatin1(name));
    }
    m_runner->State().mode = vmx::ViewMode::Record;
    ShowMode();
    LayOut(); // the slider took its bitmap's size
    FitModeSelectorText();
    if (loaded)
        loaded();
}

void CVelmorixView::LoadDatabases(const QStringList& paths, std::function<void()> then)
{
    if (paths.isEmpty()) {
        if (then)
            then();
        return;
    }
    const auto local = [](const QString& path) { return QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString(); };
    const std::string left = local(paths.at(0));
    const std::string right = paths.size() > 1 ? local(paths.at(1)) : std::string();
    m_load->LoadFiles(left, right, std::move(then));
}

void CVelmorixView::FitModeSelectorText()
{
    // The template's drop-down is narrow for "RECORD MODE" in the form's font: narrow the letters
    // rather than cut the text. Each narrowing tried loads a font, which is slow: the text's width
    // in the form's font tells the first that can fit (letters narrow about in proportion).
    // Measured as its entries are now (the default keeps the size hint of its first measure).
    m_modeSelector->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    const int room = m_modeSelector->width();
    const int unstretched = m_modeSelector->sizeHint().width();
    if (unstretched <= room)
        return;
    const QFontMetrics metrics(m_modeSelector->font());
    int longest = 0;
    for (int i = 0; i < m_modeSelector->count(); ++i)
        longest = std::max(longest, metrics.horizontalAdvance(m_modeSelector->itemText(i)));
    QFont font = this->font();
    for (const int stretch : {int(QFont::SemiCondensed), int(QFont::Condensed)}) {
        if (stretch != QFont::Condensed && unstretched - longest + longest * stretch / 100 > room)
            continue;
        font.setStretch(stretch);
        m_modeSelector->setFont(font);
        if (m_modeSelector->sizeHint().width() <= room)
            return;
    }
}
