#include "app/widgets/ToolTipTable.h"

namespace parlivo {

// Index, control, title, text (lines joined with CR LF), icon. Indexes not listed
// are created but attach no tip.
const std::vector<ToolTipRow> &toolTipTable()
{
    static const std::vector<ToolTipRow> rows = {
        {0, "Label17", QStringLiteral("Check it"),
         QStringLiteral("Check for free version updates..."), 1},
        {2, "Button6", QStringLiteral("Select ..."),
         QStringLiteral("Acts as a file manager. Lets you search for,\r\nload & play a previously recorded (stored)\r\naudio file - to be used as your audio message.\r\n\r\nOnly allows files with '.mp3' file extension.\r\n"), 1},
        {4, "Button4", QStringLiteral("Play current"),
         QStringLiteral("TRANSFERS audio file from Step 1. to Step 2.\r\nthen auto-plays.\r\n\r\n"), 1},
        {6, "cmdAudioStop", QStringLiteral("Stop"),
         QStringLiteral("To stop playing your\r\nmessage / audio file."), 1},
        {9, "cmdRecRecord", QStringLiteral("Record"),
         QStringLiteral("To start recording your\r\nmessage / audio file."), 1},
        {10, "cmdRecStop", QStringLiteral("Stop"),
         QStringLiteral("To stop recording your\r\nmessage / audio File."), 1},
        {11, "Button5", QStringLiteral("Select your picture to include..."),
         QStringLiteral("Click this button to include a picture with your\r\nWeb Message. It will not be sent as an attachment.\r\n\r\nTIP: Sending too large a picture file may distort the looks of your page.\r\n"), 1},
        {12, "Button2", QStringLiteral("Create your web message on the iNet"),
         QStringLiteral("IMPORTANT: You must be connected to the internet.\r\n\r\nClicking sends a copy of your recorded audio file and image to\r\nour web site host server so that your friends can view and listen.\r\n\r\nIMPORTANT: let uploading finish - before procedding to Step 5\r\nThe larger your recorded message and image are.. \r\nthe longer you will need to wait!\r\n"), 2},
        {13, "Button3", QStringLiteral("Copy link to clipboard - then YOU paste into email"),
         QStringLiteral("WARNING: DON 'T click till Step 4 has finished uploading!\r\n\r\n1. Click to copy/ save link (few lines special text) to the\r\ncomputer 's internal memory. Sorry, but you will just have to\r\ntrust that it is done - there is no indicator.\r\n\r\n2. Open your email software. LEFT click mouse in body of\r\na new message text fileld. Now RIGHT click mouse and choose paste option.\r\n\r\nSend a test email if you want to your self!"), 1},
        {14, "Label12", QStringLiteral("Exit"),
         QStringLiteral("Exit the software..."), 1},
        {16, "Label16", QStringLiteral("About"),
         QStringLiteral("About this software."), 1},
        {17, "Label15", QStringLiteral("Help me..."),
         QStringLiteral("Click to activate the HELP menu."), 1},
        {18, "Button12", QStringLiteral("Add text message?"),
         QStringLiteral("Click to add a text message to your created page.\r\nThis is an option."), 1},
        {19, "Label7", QStringLiteral("Time"),
         QStringLiteral("What the heck time is it anyway?"), 1},
        {20, "frInputDevice", QStringLiteral("Set record source"),
         QStringLiteral("Be SURE to set this to microphone so the software knows what to do!"), 1},
        {21, "Button11", QStringLiteral("View your created Web Message"),
         QStringLiteral("View your created Web Message on-line!"), 1},
        {22, "Button17", QStringLiteral("Cancel"),
         QStringLiteral("Cancel and go back to audio menu."), 1},
        {23, "Button16", QStringLiteral("Play"),
         QStringLiteral("Play text to test - make sure sounds OK or needs editing"), 1},
        {24, "Button19", QStringLiteral("Stop Play"),
         QStringLiteral("Stop playing the text."), 1},
        {25, "Button15", QStringLiteral("Convert"),
         QStringLiteral("Convert the text to audio MP3."), 1},
        {26, "Button13", QStringLiteral("Record"),
         QStringLiteral("Choose to record your message via microphone."), 1},
        {27, "Button14", QStringLiteral("Convert"),
         QStringLiteral("Choose to convert text to audio for your audio message."), 1},
        {28, "Button20", QStringLiteral("Other Stuff"),
         QStringLiteral("Choose to add other enhancements to your web message.\r\nPLEASE keep the size of these files down as it will greatly slow down things!"), 1},
        {29, "Button18", QStringLiteral("Cancel"),
         QStringLiteral("Cancel and go back to audio menu."), 1},
        {30, "Button21", QStringLiteral("Add a video"),
         QStringLiteral("Add a video to your Web Message!\r\n\r\nPLEASE KEEP THE SIZE OF THESE FILES DOWN!\r\nWe reserve the right to delete {off our host server}\r\nany file larger then 4Mb and/ or contains offensive content!"), 1},
        {31, "Button22", QStringLiteral("Check it out!"),
         QStringLiteral("Check out our software that will definitely enhance YOUR creativity!"), 1},
    };
    return rows;
}

} // namespace parlivo
