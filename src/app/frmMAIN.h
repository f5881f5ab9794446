#pragma once
// The main window: one fixed, borderless window laying the making of a message out as
// five steps. It owns the message draft, the working folders and every outside component,
// and routes each button and menu command to its handler. The handlers of each area live
// in their own source file (frmMAIN_recording.cpp, frmMAIN_speech.cpp, ...).
#include "message/MessageDraft.h"
#include "message/WorkingFolders.h"
#include "platform/Platform.h"

#include <QHash>
#include <QPointer>
#include <QVector>
#include <QWidget>

#include <memory>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QAction;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QSlider;
class QTimer;

namespace parlivo {

class ClickLabel;
class LevelMeter;
class frnAbout;
class frmviewer;
class frmError;
class frmTrim;
class AgentPresenter;
class PublishRun;

class frmMAIN : public QWidget
{
    Q_OBJECT
public:
    // appFolder: the application folder (templates, pictures), holding Temp/ and Quillbox/ too.
    frmMAIN(Platform &platform, const QString &appFolder, QWidget *parent = nullptr);
    // The working folders elsewhere than in the application folder.
    frmMAIN(Platform &platform, const WorkingFolders &folders, QWidget *parent = nullptr);
    ~frmMAIN() override;

    // Start-up after construction: the quick steps run at once, the steps that wait on
    // devices, voices or the character run right after the first frame (see startDeferredLoad).
    void Form_Load();
    // Runs the deferred load steps now (tests call this instead of waiting for a frame).
    void runDeferredLoad();
    bool deferredLoadDone() const { return m_deferredLoadDone; }

    Platform &platform() { return m_platform; }
    const WorkingFolders &folders() const { return m_folders; }
    QString appFolder() const { return m_folders.appFolder(); }

    // Naming (the scheme lives in app/naming).
    qint64 GetDriveSerialNumber(const QString &DriveLetter = {});
    void IssueAudioFileName();
    void ClearWorkingFolders();

    void setStatus(const QString &text);
    QString status() const;
    // A failure that stopped a publication, a recording or a conversion: in the status
    // line and, as the line may be too short for it, in a message box as well.
    void reportFailure(const QString &text);

    // Has the help character perform a topic of help/topics.json by name (a help-menu
    // command, "TellRulesOfTheRoad" or "PublishingWarning"); does nothing without a character.
    void performHelpTopic(const QString &topic);

    MessageDraft draft;

    // --- window-level controls
    QLabel *Image3 = nullptr;
    QLabel *Label14 = nullptr;
    ClickLabel *Label16 = nullptr, *Label17 = nullptr, *Label15 = nullptr, *Label11 = nullptr, *Label12 = nullptr;
    QFrame *Frame1 = nullptr;
    QLabel *Label1 = nullptr, *Label22 = nullptr;
    ClickLabel *Label23 = nullptr, *Label6 = nullptr;
    QLabel *Image1 = nullptr, *Image12 = nullptr, *Image16 = nullptr;
    ClickLabel *Image17 = nullptr;
    QLineEdit *Label7 = nullptr;
    QTimer *Timer5 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLineEdit *txtRecFilename = nullptr;

    // --- step 1: choice
    QFrame *Frame4 = nullptr;
    QLabel *Label19 = nullptr;
    QPushButton *Button13 = nullptr, *Button14 = nullptr, *Button6 = nullptr;
    // --- step 1: microphone
    QFrame *Frame2 = nullptr;
    QLabel *Label8 = nullptr;
    QPushButton *cmdRecRecord = nullptr, *cmdRecStop = nullptr, *Button18 = nullptr;
    QGroupBox *frInputDevice = nullptr;
    QComboBox *cmbSrcInput = nullptr, *cmbDevInput = nullptr;
    QLabel *Label10 = nullptr;
    QSlider *sldrVolumeInp = nullptr;
    QLabel *lblLabRecInfoMS = nullptr, *lblRecInfoMS = nullptr;
    LevelMeter *levelMeter = nullptr;
    QTimer *Timer2 = nullptr;
    // --- step 1: text to speech
    QFrame *Frame7 = nullptr;
    QLabel *Label20 = nullptr, *Label21 = nullptr;
    QPlainTextEdit *Text4 = nullptr;
    QComboBox *Combo2 = nullptr, *Combo3 = nullptr, *Combo1 = nullptr;
    QScrollBar *HScroll1 = nullptr, *HScroll2 = nullptr, *HScroll3 = nullptr;
    QPushButton *Button15 = nullptr, *Button16 = nullptr, *Button19 = nullptr, *Button17 = nullptr;
    // --- step 2
    QFrame *Frame3 = nullptr;
    QLabel *Label9 = nullptr, *Label3 = nullptr;
    QLineEdit *txtWaveFilename = nullptr;
    QPushButton *Button4 = nullptr, *cmdAudioStop = nullptr;
    QPushButton *cmdAudioTrim = nullptr;
    // --- steps 3 to 5
    QLabel *Label13 = nullptr, *Label4 = nullptr, *Label5 = nullptr, *Label18 = nullptr;
    QPushButton *Button5 = nullptr, *Button12 = nullptr, *Button20 = nullptr, *Button21 = nullptr;
    QPushButton *Button2 = nullptr, *Button3 = nullptr, *Button11 = nullptr, *Button22 = nullptr;

    // --- pop-up menus
    QMenu *mnuHelp = nullptr, *mnu_advanced_options = nullptr, *mnuAddVideoMenu = nullptr;
    QAction *mnuOverview = nullptr, *mnuRULES = nullptr, *mnu_REC_OPTIONS = nullptr, *mnuRecord = nullptr,
            *mnUConvert_t2s = nullptr, *mnu_AquireT2S = nullptr, *mnuPlay_recording = nullptr,
            *mnuAdd_picture = nullptr, *mnuAddVideo = nullptr, *mnuAddText = nullptr, *mnuOtherStuff = nullptr,
            *mnuUplaoding = nullptr, *mnuClipboard = nullptr, *mnuPreview = nullptr, *mnu_Why_subscription = nullptr;
    QAction *mnuMIN = nullptr, *mnu_Add_backsound = nullptr, *mnuADD_link = nullptr;
    QAction *mnuAVIvideo = nullptr, *mnuFLV_video = nullptr, *mnuAdd_MOV_video = nullptr, *mnuMPG_VIDEO = nullptr,
            *mnuMPEG_video = nullptr, *mnuRAMvideo = nullptr, *mnuFLASH = nullptr, *mnuWMFvideo = nullptr,
            *mnuMP4video = nullptr;
    QAction *mnuAutoTrim = nullptr;   // trim and level each recording (checked), for this session

    // --- outside components, created during start-up
    std::unique_ptr<AudioRecorder> AudioRecord;
    std::unique_ptr<AudioFileWriter> AudioFile;
    std::unique_ptr<AudioPlayer> SMAudioPlayAndRecordX1;
    std::unique_ptr<SpeechEngine> tts;
    std::unique_ptr<SftpClient> wodSFTP1;
    std::unique_ptr<CharacterHost> Agent1;
    HelpCharacter *help_character = nullptr;
    QVector<BalloonTip *> BalloonTips;   // 33 tip objects, indexes 0 to 32

    QPointer<frnAbout> aboutBox;
    QPointer<frmError> errorNotice;

public Q_SLOTS:
    // window-level commands
    void Label6_Click();
    void Label23_Click();
    void Image17_Click();
    void Label15_Click();
    void Label16_Click();
    void Label17_Click();
    void Label11_Click();
    void Label12_Click();
    void Button13_Click();
    void Button14_Click();
    void Button17_Click();
    void Button18_Click();
    void Button20_Click();
    void Button21_Click();
    void Button22_Click();
    void Timer5_Timer();
    void Button10_Click();

    // recording and playback (frmMAIN_recording.cpp)
    void cmdRecRecord_Click();
    void cmdRecStop_Click();
    void AudioRecord_EndArrayRecord(int nBlock);
    void Timer2_Timer();
    void Button4_Click();
    void cmdAudioStop_Click();
    void Button6_Click();
    void cmbSrcInput_Click(int index);
    void AudioRecord_SourcesChanged();
    void sldrVolumeInp_Change(int value);
    void SMAudioPlayAndRecordX1_Time(int index);
    void SMAudioPlayAndRecordX1_Error(int index, int code, const QString &message);

    // trimming and levelling the message's audio (frmMAIN_trim.cpp)
    void cmdAudioTrim_Click();
    void mnuAutoTrim_Click(bool on);

    // text to speech (frmMAIN_speech.cpp)
    void Button15_Click();
    void Button16_Click();
    void Button19_Click();
    void Combo1_Click();
    void tts_OnTTSStart();
    void tts_OnTTSWord(int nStart, int nLength);
    void tts_OnTTSEnd();

    // picture and optional elements (frmMAIN_content.cpp)
    void Button5_Click();
    void Button12_Click();
    void mnuADD_link_Click();
    void mnu_Add_backsound_Click();
    void mnuAVIvideo_Click();
    void mnuFLV_video_Click();
    void mnuAdd_MOV_video_Click();
    void mnuMPG_VIDEO_Click();
    void mnuMPEG_video_Click();
    void mnuFLASH_Click();
    void mnuWMFvideo_Click();
    void mnuMP4video_Click();

    // publishing and link delivery (frmMAIN_publish.cpp)
    void Button2_Click();
    void StartUpload();
    void wodSFTP1_Connected(int errorCode, const QString &errorText);
    void wodSFTP1_StateChanged(int oldState);
    void wodSFTP1_Done(int errorCode, const QString &errorText);
    void Text1_Change();
    void Button3_Click();
    void Button11_Click();

    // help topics (window preparation here, the scripts in frmMAIN_help.cpp)
    void mnuOverview_Click();
    void mnuRULES_Click();
    void mnu_REC_OPTIONS_Click();
    void mnuRecord_Click();
    void mnUConvert_t2s_Click();
    void mnu_AquireT2S_Click();
    void mnuPlay_recording_Click();
    void mnuAdd_picture_Click();
    void mnuAddVideo_Click();
    void mnuAddText_Click();
    void mnuOtherStuff_Click();
    void mnuUplaoding_Click();
    void mnuClipboard_Click();
    void mnuPreview_Click();
    void mnu_Why_subscription_Click();
    void TellRulesOfTheRoad();

public:
    // Edits of the message's audio (frmMAIN_trim.cpp). An edit writes a new working file and
    // points the message at it; undo points the message back at the file before.
    void trimAudio(qint64 startMs, qint64 endMs);
    bool undoAudioEdit();
    bool canUndoAudioEdit() const;
    bool audioEditRunning() const;
    // The message's files are still being laid out for a publication (away from this thread).
    bool publicationPreparing() const;
    QPointer<frmTrim> trimWindow;

Q_SIGNALS:
    void deferredLoadFinished();
    void audioEditFinished();

public:
    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void buildIntro();
    void buildStep1Choice();
    void buildStep1Microphone();
    void buildStep1Speech();
    void buildSteps2to5();
    void buildMenus();
    void attachToolTips();
    void connectHandlers();
    void setTabOrder();
    void showStep1Panel(QFrame *panel);
    void setIntroTabChain(bool introShown);
    void placeOnScreen();
    void Form_Unload();

    // Area set-up called from the load (each defined in its area's file).
    void setupRecording();       // devices, sources, volume
    void connectRecorder();
    void fillRecordingLists();   // devices, then sources
    void fillSourceList();       // sources and the volume
    void setupRecordingPanel();  // signal wiring of the recording controls
    void loadHelpCharacter();
    void setupSpeech();
    void setupSpeechPanel();
    void setupPublishing();
    void setupTrim();
    void startAutoAudioEdit();     // after a recording stops
    void forgetAudioEdits();       // the message got new audio: earlier edits are history

    // Moves the window by hand while a button is held, where the platform cannot.
    void manualMove(QEvent *event);
    void firstFramePainted();

    Platform &m_platform;
    WorkingFolders m_folders;
    bool m_deferredLoadDone = false;
    bool m_deferredLoadQueued = false;
    bool m_firstFramePainted = false;
    bool m_unloaded = false;
    bool m_manualMoving = false;
    bool m_placedOnScreen = false;
    QPoint m_dragOffset;
    QList<QPointer<QWidget>> m_hiddenBehindIntro;

public:
    // Area state; each area defines its struct in its own source file and makes it in
    // its set-up function.
    struct RecordingState;
    struct SpeechState;
    struct ContentState;
    struct PublishState;
    struct HelpState;
    struct TrimState;

    // shared_ptr: its deleter is bound where the state is made, so this header
    // needs only the declarations.
    std::shared_ptr<RecordingState> recording;
    std::shared_ptr<SpeechState> speech;
    std::shared_ptr<ContentState> content;
    std::shared_ptr<PublishState> publishing;
    std::shared_ptr<HelpState> help;
    std::shared_ptr<TrimState> trimming;
};

} // namespace parlivo
