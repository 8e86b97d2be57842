#include "dialogs/CSettingDlg.h"

#include "dialogs/Utf8Text.h"
#include "convert/FileHelpers.h"
#include "dialogs/ChooseFolder.h"
#include "dialogs/MessageBoxTitle.h"
#include "dialogs/SettingTemplate.h"
#include "recording/Merge.h"
#include "viewmodel/AppTitle.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

namespace {

using namespace SettingTemplate;
using vmx::LookupText;
using vmx::SettingTexts;

// The edits bound to a setting and the text each one holds.
const struct {
    int id;
    std::string SettingTexts::*text;
} kSettingEdits[] = {
    {kFrameRate, &SettingTexts::frameRate},       {kWidth, &SettingTexts::width},
    {kHeight, &SettingTexts::height},             {kEncoder, &SettingTexts::encoder},
    {kCropRatio, &SettingTexts::cropRatio},       {kVideoBitrate, &SettingTexts::videoBitrate},
    {kAudioBitrate, &SettingTexts::audioBitrate}, {kAudioVolume, &SettingTexts::audioVolume},
    {kAlgorithm, &SettingTexts::algorithm},       {kAudioMode, &SettingTexts::audioMode},
    {kAudioVbr, &SettingTexts::audioVbr},         {kSampleRate, &SettingTexts::sampleRate},
};

// A change in one of these edits refreshes the preview ("Crop Ratio:" and "Sample Rate" do not).
constexpr int kPreviewedEdits[] = {kFrameRate, kEncoder,     kWidth,     kVideoBitrate, kAudioBitrate, kAudioVolume,
                                   kAc3Volume, kAlgorithm,   kAudioMode, kAudioVbr,     kHeight};
constexpr int kSizeEdits[] = {kWidth, kHeight, kCropRatio};
constexpr int kOtherEdits[] = {kVideoBitrate, kAudioBitrate, kAudioVolume, kAc3Volume, kAlgorithm, kAudioMode, kAudioVbr};

QString PathText(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string PathBytes(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QString AppName()
{
    return Utf8Text(LookupText("TXT_APP_NAME"));
}

// The application's title, the caption of the messages that name no other.
QString AppTitle()
{
    return Utf8Text(vmx::AppTitle());
}

}  // namespace

CSettingDlg::CSettingDlg(QWidget* parent)
    : QDialog(parent)
    , m_units(vmx::BaseUnitsOf(vmx::DialogFont()))
{
    setWindowTitle(QString::fromLatin1(vmx::kSettingDlgCaption));
    setFont(vmx::DialogFont());
    setFixedSize(vmx::DluToPixelsX(kWidthDlu, m_units), vmx::DluToPixelsY(kHeightDlu, m_units));
    CreateControls();
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &CSettingDlg::OnTimer);
    m_model.setListener(this);
}

CSettingDlg::~CSettingDlg()
{
    // Every thread of a run ends here, before anything it reports to goes.
    m_model.stopRun();
    m_model.setListener(nullptr);
}

void CSettingDlg::CreateControls()
{
    for (const SettingTemplate::Control& control : SettingTemplate::Controls()) {
        QWidget* widget = nullptr;
        const QString caption = QString::fromLatin1(control.caption);
        switch (control.kind) {
        case Kind::Group:
            widget = new QGroupBox(caption, this);
            break;
        case Kind::Label:
            widget = new QLabel(caption, this);
            break;
        case Kind::Preview:
            widget = m_preview = new QPlainTextEdit(this);
            m_preview->setReadOnly(true);
            break;
        case Kind::PathEdit: {
            // Shows a path; what is typed there is never read, so it takes no typing.
            auto* edit = new QLineEdit(this);
            edit->setReadOnly(true);
            widget = edit;
            break;
        }
        case Kind::Edit:
            widget = new QLineEdit(this);
            break;
        case Kind::Button: {
            auto* button = new QPushButton(caption, this);
            button->setAutoDefault(false);  // Enter in an edit presses nothing
            widget = button;
            break;
        }
        case Kind::Progress:
            widget = m_progress = new QProgressBar(this);
            m_progress->setRange(0, 100);
            m_progress->setValue(0);
            m_progress->setTextVisible(false);
            break;
        case Kind::Combo:
            widget = new QComboBox(this);
            break;
        case Kind::Spin: {
            auto* spin = new QSpinBox(this);
            spin->setRange(vmx::kMinQuality, vmx::kMaxQuality);
            widget = spin;
            break;
        }
        }
        widget->setGeometry(vmx::DluToPixels(control.dlu, m_units));
        if (control.id != kNoId) {
            widget->setObjectName(QStringLiteral("control%1").arg(control.id));
            m_controls.insert(control.id, widget);
        }
    }
    for (const int id : kPreviewedEdits)
        connect(Edit(id), &QLineEdit::textChanged, this, [this] {
            if (!m_filling)
                ShowPreviewOfEdits();
        });
    for (const char* name : vmx::OutputChoiceNames())
        FormatBox()->addItem(QString::fromLatin1(name));
    for (const vmx::PictureSize& size : vmx::PictureSizes())
        SizeBox()->addItem(QString::fromLatin1(size.text));
    connect(FormatBox(), &QComboBox::currentIndexChanged, this, [this] {
        if (m_filling)
            return;
        // A choice that encodes shows its encoder's default quality unless one was set.
        m_model.setOutput(vmx::OutputChoice(FormatBox()->currentIndex()), -1, SizeBox()->currentIndex());
        ShowOutputChoice();
    });
    auto outputEdited = [this] {
        if (m_filling)
            return;
        m_model.setOutput(vmx::OutputChoice(FormatBox()->currentIndex()), QualityBox()->value(),
                          SizeBox()->currentIndex());
        ShowPreviewOfEdits();
    };
    connect(QualityBox(), &QSpinBox::valueChanged, this, outputEdited);
    connect(SizeBox(), &QComboBox::currentIndexChanged, this, outputEdited);
    auto onClick = [this](int id, void (CSettingDlg::*handler)()) {
        connect(static_cast<QPushButton*>(Control(id)), &QPushButton::clicked, this, handler);
    };
    onClick(kSourceBrowse, &CSettingDlg::OnSourceBrowse);
    onClick(kDestBrowse, &CSettingDlg::OnDestBrowse);
    onClick(kInitialize, &CSettingDlg::OnInitialize);
    onClick(kStartEncoding, &CSettingDlg::OnStartEncoding);
    connect(static_cast<QPushButton*>(Control(kExit)), &QPushButton::clicked, this, &QDialog::accept);
}

QLineEdit* CSettingDlg::Edit(int id) const
{
    return static_cast<QLineEdit*>(Control(id));
}

QComboBox* CSettingDlg::FormatBox() const
{
    return static_cast<QComboBox*>(Control(kOutputFormat));
}

QComboBox* CSettingDlg::SizeBox() const
{
    return static_cast<QComboBox*>(Control(kPictureSize));
}

QSpinBox* CSettingDlg::QualityBox() const
{
    return static_cast<QSpinBox*>(Control(kQuality));
}

void CSettingDlg::HandOverRecording(const vmx::RecordDetails& details)
{
    m_model.handOverRecording(details);
    Edit(kSourcePath)->setText(PathText(m_model.sourceText()));
}

// The format list and the rows that belong to the choice: quality and size for the choices that
// encode, the mencoder edits only for the AVI.
void CSettingDlg::ShowOutputChoice()
{
    const vmx::OutputChoice choice = m_model.outputChoice();
    const bool encodes = vmx::EncodesVideo(choice);
    m_filling = true;
    FormatBox()->setCurrentIndex(int(choice));
    QualityBox()->setValue(vmx::QualityShown(m_model.settings()));
    SizeBox()->setCurrentIndex(std::clamp(m_model.settings().nExportSize, 0, SizeBox()->count() - 1));
    m_filling = false;
    for (const int id : {int(kQualityLabel), int(kQuality), int(kSizeLabel), int(kPictureSize)})
        Control(id)->setVisible(encodes);
    ApplyControlState();
}

void CSettingDlg::HandOverMergedFile(const QString& path)
{
    TellAddResult(m_model.handOverMergedFile(PathBytes(path)));
}

void CSettingDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_initialised) {
        m_initialised = true;
        OnInitDialog();
    }
}

// The window's first showing: the edits show the settings the caller copied in.
void CSettingDlg::OnInitDialog()
{
    Edit(kDestPath)->setText(PathText(m_model.destPath()));
    m_timer.start();
    ShowSettings();
    ShowOutputChoice();
    Edit(kSourcePath)->setText(PathText(m_model.sourceText()));
}

void CSettingDlg::done(int result)
{
    m_model.stopRun();
    QDialog::done(result);
}

void CSettingDlg::ShowSettings()
{
    const SettingTexts texts = vmx::TextsOfSettings(m_model.settings());
    m_filling = true;
    for (const auto& edit : kSettingEdits)
        Edit(edit.id)->setText(Utf8Text(texts.*edit.text));
    m_filling = false;
}

SettingTexts CSettingDlg::ReadTexts() const
{
    SettingTexts texts;
    for (const auto& edit : kSettingEdits)
        texts.*edit.text = Edit(edit.id)->text().toStdString();
    return texts;
}

void CSettingDlg::ApplyControlState()
{
    m_model.takeTexts(ReadTexts());
    const vmx::EditsEnabled enabled = vmx::EnabledEdits(m_model.settings());
    // The mencoder edits mean nothing to an export.
    const bool mencoder = !vmx::IsExportChoice(m_model.outputChoice());
    Edit(kFrameRate)->setEnabled(mencoder && enabled.frameRate);
    for (const int id : kSizeEdits)
        Edit(id)->setEnabled(mencoder && enabled.size);
    Edit(kSampleRate)->setEnabled(mencoder && enabled.sampleRate);
    for (const int id : kOtherEdits)
        Edit(id)->setEnabled(mencoder && enabled.others);
    Edit(kEncoder)->setEnabled(mencoder);
    ShowPreviewOfEdits();
}

void CSettingDlg::ShowPreviewOfEdits()
{
    if (vmx::IsExportChoice(m_model.outputChoice()))
        ShowPreview(vmx::ExportPreview(m_model.settings()));
    else
        ShowPreview(vmx::PreviewOfTexts(ReadTexts()));
}

void CSettingDlg::ShowPreview(const std::string& text)
{
    m_preview->setPlainText(Utf8Text(text));
}

void CSettingDlg::SetRunButtonsEnabled(bool enabled)
{
    Control(kStartEncoding)->setEnabled(enabled);
    Control(kInitialize)->setEnabled(enabled);
}

int CSettingDlg::Tell(const QString& text, const QString& caption, QMessageBox::Icon icon,
                      QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, caption, text, buttons, this);
    KeepTitleWhole(box);
    return box.exec();
}

void CSettingDlg::AddSourceFile(const std::string& path)
{
    const vmx::EncodeRun::AddResult result = m_model.addSourceFile(path);
    if (result == vmx::EncodeRun::AddResult::Added)
        Edit(kSourcePath)->setText(PathText(m_model.sourceText()));
    TellAddResult(result);
}

void CSettingDlg::TellAddResult(vmx::EncodeRun::AddResult result)
{
    if (result == vmx::EncodeRun::AddResult::UnicodeProblem)
        Tell(Utf8Text(LookupText("TXT_UNICODE_PROBLEM")), AppName(), QMessageBox::Warning);
}

void CSettingDlg::OnSourceBrowse()
{
    QStringList patterns;
    for (const std::string& pattern : vmx::EncodeRun::videoFilePatterns())
        patterns << Utf8Text(pattern);
    QFileDialog dialog(this, Utf8Text(LookupText("TXT_OPEN_DLG_TITLE")));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilters({Utf8Text(LookupText("TXT_OPEN_DLG_VIDEO_FILE")) + " (" + patterns.join(' ') + ")",
                           Utf8Text(LookupText("TXT_OPEN_DLG_ALL_FILES")) + " (*)"});
    if (dialog.exec() != QDialog::Accepted)
        return;
    std::vector<std::string> files;
    for (const QString& file : dialog.selectedFiles())
        files.push_back(PathBytes(file));
    if (!vmx::SettingDlgModel::selectionIsPlain(files)) {
        Tell(Utf8Text(vmx::kEnglishFolderMessage), AppTitle(), QMessageBox::Warning);
        return;
    }
    for (const std::string& file : files)
        AddSourceFile(file);
}

void CSettingDlg::OnDestBrowse()
{
    const QString chosen =
        ChooseFolder(this, PathText(m_model.destPath()), Utf8Text(vmx::kChooseOutputFolderTitle));
    switch (m_model.chooseDestination(PathBytes(chosen))) {
    case vmx::SettingDlgModel::FolderChoice::Unchanged:
        break;
    case vmx::SettingDlgModel::FolderChoice::NotEnglish:
        Tell(Utf8Text(vmx::kEnglishFolderMessage), AppTitle(), QMessageBox::Warning);
        break;
    case vmx::SettingDlgModel::FolderChoice::Changed:
        Edit(kDestPath)->setText(PathText(m_model.destPath()));
        break;
    }
}

void CSettingDlg::OnInitialize()
{
    if (Tell(Utf8Text(vmx::kResetQuestion), Utf8Text(vmx::kResetCaption), QMessageBox::Question,
             QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    m_model.initialize();
    ShowSettings();
    ShowOutputChoice();
}

void CSettingDlg::OnStartEncoding()
{
    const vmx::SettingDlgModel::StartRequest request = m_model.beginStart(ReadTexts());
    ShowPreview(request.preview);
    switch (request.check) {
    case vmx::EncodeRun::StartCheck::Running:
        return;
    case vmx::EncodeRun::StartCheck::NoSources:
        Tell(Utf8Text(vmx::kNoSourceMessage), AppName(), QMessageBox::Critical);
        return;
    case vmx::EncodeRun::StartCheck::InvalidFolder:
        Tell(Utf8Text(vmx::kInvalidFolderMessage), AppName(), QMessageBox::Critical);
        return;
    case vmx::EncodeRun::StartCheck::AskOverwrite:
        if (Tell(PathText(request.question), AppName(), QMessageBox::NoIcon, QMessageBox::Yes | QMessageBox::No) !=
            QMessageBox::Yes)
            return;
        break;
    case vmx::EncodeRun::StartCheck::Ok:
        break;
    }
    if (request.exporting) {
        // The exports run in the export queue; this dialog has done its part.
        emit ExportsRequested(m_model.exportJobs());
        accept();
        return;
    }
    SetRunButtonsEnabled(false);
    // A run that cannot begin has told its end already; that notice enables the buttons again.
    m_model.start();
}

void CSettingDlg::OnTimer()
{
    if (const std::optional<int> percent = m_model.progressStep())
        m_progress->setValue(*percent);
}

void CSettingDlg::onRunEnded(const vmx::RunOutcome& outcome)
{
    // On the runner's thread: hand a copy to the user-interface thread and return at once (the
    // thread that stops a run waits for this one). A call still queued when the dialog goes is
    // dropped with it.
    QMetaObject::invokeMethod(this, [this, outcome] { ShowRunEnd(outcome); }, Qt::QueuedConnection);
}

void CSettingDlg::ShowRunEnd(const vmx::RunOutcome& outcome)
{
    const vmx::RunEndReport report = vmx::ReportRunEnd(outcome);
    if (report.fillBar)
        m_progress->setValue(100);
    switch (report.kind) {
    case vmx::RunEndReport::Kind::None:
        break;
    case vmx::RunEndReport::Kind::Complete:
        Tell(Utf8Text(report.text), AppTitle(), QMessageBox::Information);
        break;
    case vmx::RunEndReport::Kind::Failures:
        Tell(PathText(report.text), AppTitle(), QMessageBox::Warning);
        break;
    case vmx::RunEndReport::Kind::Error:
        Tell(PathText(report.text), AppTitle(), QMessageBox::Critical);
        break;
    }
    SetRunButtonsEnabled(true);
}
