// The picture viewer and the optional page elements: text, link, background sound, video.
#include "app/widgets/FocusReturn.h"
#include "frmMAIN.h"

#include "content/OptionalElements.h"
#include "content/frmviewer.h"
#include "app/widgets/Fitting.h"
#include "platform/desktop/WindowPlacement.h"
#include "platform/desktop/WindowSheet.h"

#include <QPointer>
#include <QTimer>

namespace parlivo {

struct frmMAIN::ContentState
{
    // There is only ever one viewer; it destroys itself when closed.
    QPointer<frmviewer> viewer;
};

namespace {

frmMAIN::ContentState &contentState(std::shared_ptr<frmMAIN::ContentState> &state)
{
    if (!state)
        state = std::make_shared<frmMAIN::ContentState>();
    return *state;
}

} // namespace

void frmMAIN::Button5_Click()
{
    contentState(content);
    MessageBox *box = m_platform.messageBox;
    QPointer<frmMAIN> self(this);
    auto openViewer = [self] {
        if (!self)
            return;
        ContentState &state = contentState(self->content);
        if (!state.viewer) {
            state.viewer = new frmviewer(self->m_platform.messageBox, self->appFolder(),
                                         [self](const QString &text) {
                                             if (self)
                                                 self->setStatus(text);
                                         },
                                         self);
            if (!topLevelPositionsHonoured()) {
                // Where the compositor would put it in the screen's corner, the viewer
                // opens inside the window, shrunk to fit there.
                fitInto(state.viewer, sheetRoom(self));
                openAsSheet(state.viewer, self);
                return;
            }
            openInsideScreen(state.viewer, self->frameGeometry().center());
            returnFocusWhenClosed(state.viewer);
        }
        state.viewer->show();
        state.viewer->raise();
        state.viewer->activateWindow();
    };
    if (!box) {
        openViewer();
        return;
    }
    // The tip is advice only: no picture is ever measured.
    box->inform(this, QStringLiteral("TIP: for best results your picture/ image should not be over 700 pixcels in width."),
                QLatin1String(ApplicationTitle), MessageBox::Icon::None, openViewer);
}

void frmMAIN::Button12_Click()
{
    if (!m_platform.inputPrompt)
        return;
    QPointer<frmMAIN> self(this);
    m_platform.inputPrompt->ask(this, QLatin1String(TextMessagePrompt), QLatin1String(ApplicationTitle),
                                [self](const QString &answer) {
                                    // Answers arrive once the prompt has closed.
                                    if (self && recordTextMessage(self->draft, answer))
                                        self->setStatus(QLatin1String(TextMessageAccepted));
                                });
}

void frmMAIN::mnuADD_link_Click()
{
    if (!m_platform.inputPrompt)
        return;
    QPointer<frmMAIN> self(this);
    m_platform.inputPrompt->ask(this, linkPrompt(), QLatin1String(ApplicationTitle), [self](const QString &answer) {
        if (self)
            recordLink(self->draft, answer);
    });
}

void frmMAIN::mnu_Add_backsound_Click()
{
    if (!m_platform.fileDialog)
        return;
    QPointer<frmMAIN> self(this);
    m_platform.fileDialog->showOpen(this, QLatin1String(BacksoundDialogTitle), QLatin1String(BacksoundDialogFilter),
                                    [self](const QString &path) {
                                        if (self)
                                            recordBacksound(self->draft, path);
                                    });
}

namespace {

void chooseVideo(frmMAIN *window, const char *tag)
{
    const VideoFormat *format = videoFormat(QLatin1String(tag));
    FileDialog *dialog = window->platform().fileDialog;
    if (!format || !dialog)
        return;
    QPointer<frmMAIN> self(window);
    dialog->showOpen(window, QString::fromUtf8(format->dialogTitle), QString::fromUtf8(format->filter),
                     [self, format](const QString &path) {
                         if (self)
                             recordVideo(self->draft, *format, path);
                     });
}

} // namespace

void frmMAIN::mnuAVIvideo_Click() { chooseVideo(this, "AVI"); }
void frmMAIN::mnuFLV_video_Click() { chooseVideo(this, "FLV"); }
void frmMAIN::mnuAdd_MOV_video_Click() { chooseVideo(this, "MOV"); }
void frmMAIN::mnuMPG_VIDEO_Click() { chooseVideo(this, "MPG"); }
void frmMAIN::mnuMPEG_video_Click() { chooseVideo(this, "MPEG"); }
void frmMAIN::mnuFLASH_Click() { chooseVideo(this, "SWF"); }
void frmMAIN::mnuWMFvideo_Click() { chooseVideo(this, "WMV"); }
void frmMAIN::mnuMP4video_Click() { chooseVideo(this, "MP4"); }

} // namespace parlivo
