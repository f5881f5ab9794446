#include "MessageFiles.h"

#include "CleanCopy.h"
#include "ContentCheck.h"
#include "WebPicture.h"

#include "message/Naming.h"
#include "platform/audio/Mp3Copy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>

#include <vector>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace parlivo {

namespace {

// Copies what is left of `in` into `out` with the kernel: a clone of the blocks where the file
// system shares them (btrfs, XFS), an in-kernel copy otherwise. False when neither is offered
// here (other file systems, older kernels), before anything was written.
bool kernelCopy(int in, int out, QString *why)
{
    if (::ioctl(out, FICLONE, in) == 0)
        return true;
    bool copiedSome = false;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 64 << 20, 0);
        if (n == 0)
            return true;
        if (n > 0) {
            copiedSome = true;
            continue;
        }
        if (errno == EINTR)
            continue;
        if (!copiedSome && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP))
            return false;
        *why = QString::fromLocal8Bit(::strerror(errno));
        return false;
    }
}

// Puts the person's video into the outgoing folder, as cheaply as the file systems allow: a
// video can be gigabytes, and this copy is only read once, by the step that writes the copy
// without metadata and renames it over this one. That step and everything after it replace the
// file by rename and never write into it, so a hard link to the person's own file is as safe as
// a copy; across file systems the kernel copies (see kernelCopy), and a plain read and write is
// the last resort. A copy that cannot be completed leaves no target behind.
bool stageVideo(const QString &source, const QString &target, QString *why)
{
    if (source.isEmpty()) {
        *why = QStringLiteral("no file was given");
        return false;
    }
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        *why = in.errorString();
        return false;
    }
    if (QFileInfo(source).canonicalFilePath() == QFileInfo(target).canonicalFilePath()) {
        *why = QStringLiteral("it is the copy itself");
        return false;
    }
    QFile::remove(target);
    const QByteArray sourceName = QFile::encodeName(QFileInfo(source).absoluteFilePath());
    const QByteArray targetName = QFile::encodeName(target);
    if (::link(sourceName.constData(), targetName.constData()) == 0)
        return true;
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        *why = out.errorString();
        return false;
    }
    const auto failed = [&](const QString &reason) {
        *why = reason;
        out.close();
        QFile::remove(target);
        return false;
    };
    if (kernelCopy(in.handle(), out.handle(), why))
        return true;
    if (!why->isEmpty())
        return failed(*why);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), buffer.size());
        if (n < 0)
            return failed(in.errorString());
        if (n == 0)
            break;
        if (out.write(buffer.constData(), n) != n)
            return failed(out.errorString());
    }
    if (!out.flush())
        return failed(out.errorString());
    out.close();
    return true;
}

} // namespace

PreparedMessage prepareMessage(const MessageInputs &in, const PrepareOptions &o)
{
    PreparedMessage r;
    r.baseName = o.baseName;
    QDir().mkpath(o.outFolder);
    const QString folder = QDir(o.outFolder).absolutePath() + QLatin1Char('/');

    const PageVariant variant = variantFor(in.wants_video, in.what_format);
    const auto fail = [&r](const QString &what, const QString &file, const QString &why) {
        r.ok = false;
        r.failedFile = file;
        r.error = QStringLiteral("%1 \"%2\" could not be copied (%3). Nothing was uploaded.").arg(what, file, why);
        for (const QString &path : std::as_const(r.written))
            QFile::remove(path);
        r.written.clear();
        return r;
    };

    // Every file is looked at before anything is copied: a message is refused whole.
    const auto refuse = [&r](const QString &what, const QString &file, const QString &problem) {
        r.ok = false;
        r.failedFile = file;
        r.error = QStringLiteral("%1 \"%2\" %3. Nothing was uploaded.").arg(what, file, problem);
        return r;
    };
    QString problem;
    if (in.i_recorded && !(problem = contentProblem(MediaRole::Audio, in.audioSource)).isEmpty())
        return refuse(QStringLiteral("The audio message"), in.audioSource, problem);
    if (in.wants_picture && !(problem = contentProblem(MediaRole::Picture, in.my_picture)).isEmpty())
        return refuse(QStringLiteral("The picture"), in.my_picture, problem);
    if (in.wants_backsound
        && !(problem = contentProblem(MediaRole::BackgroundSound, in.my_background_wav)).isEmpty())
        return refuse(QStringLiteral("The background sound"), in.my_background_wav, problem);
    if (in.wants_video && variant.valid
        && !(problem = contentProblem(MediaRole::Video, in.my_video, in.what_format)).isEmpty())
        return refuse(QStringLiteral("The video"), in.my_video, problem);

    PageValues values;
    values.pageBase = o.pageBase;
    values.textMessage = in.my_text_message;
    QString why;

    const QString audioCopy = folder + o.baseName + QStringLiteral(".mp3");
    if (in.i_recorded) {
        if (!writeCleanMp3(in.audioSource, audioCopy, &why))
            return fail(QStringLiteral("The audio message"), in.audioSource, why);
        r.written << audioCopy;
        values.hasAudio = true;
        values.audioName = GetFileName(audioCopy) + QStringLiteral(".mp3");
    }
    r.pageName = GetFileName(audioCopy) + QStringLiteral(".htm");

    if (in.i_recorded && !in.captions.isEmpty()) {
        const QString copy = folder + o.baseName + QStringLiteral(".vtt");
        QSaveFile out(copy);
        const QByteArray bytes = in.captions.toUtf8();
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
            const QString why = out.errorString();
            for (const QString &path : std::as_const(r.written))
                QFile::remove(path);
            r.written.clear();
            r.failedFile = copy;
            r.error = QStringLiteral("The captions \"%1\" could not be written (%2). Nothing was uploaded.").arg(copy, why);
            return r;
        }
        r.written << copy;
        values.hasCaptions = true;
        values.captionsName = GetFileName(copy) + QStringLiteral(".vtt");
        values.transcript = in.transcript;
    }

    // The picture is named for what it is, whatever its name said.
    const QString pictureSource = in.wants_picture ? in.my_picture : o.appFolder + QStringLiteral("/HTML/Rabbit.gif");
    const WebPicture picture = writeWebPicture(pictureSource, folder, o.baseName);
    if (!picture.ok)
        return fail(QStringLiteral("The picture"), pictureSource, picture.error);
    const QString pictureCopy = picture.path;
    r.written << pictureCopy;
    r.pictureName = QFileInfo(pictureCopy).fileName();
    values.pictureName = r.pictureName;
    values.pictureType = picture.mediaType;
    values.pictureWidth = picture.size.width();
    values.pictureHeight = picture.size.height();

    if (in.wants_backsound) {
        const QString copy = folder + o.baseName + QStringLiteral(".wav");
        if (!writeCleanWav(in.my_background_wav, copy, &why))
            return fail(QStringLiteral("The background sound"), in.my_background_wav, why);
        r.written << copy;
        values.hasBackgroundSound = true;
        values.backgroundSoundName = GetFileName(copy) + QStringLiteral(".wav");
        // Browsers play the light copy first and fall back to the WAV; a sound the encoder
        // cannot read goes out as the WAV alone.
        const QString light = folder + o.baseName + QStringLiteral(".background.mp3");
        if (writeMp3Copy(copy, light).isEmpty()) {
            r.written << light;
            values.hasWebBackgroundSound = true;
            values.webBackgroundSoundName = QFileInfo(light).fileName();
        }
    }

    if (in.wants_video) {
        if (!variant.valid)
            return fail(QStringLiteral("The video"), in.my_video,
                        QStringLiteral("its format \"%1\" is not one that can be published").arg(in.what_format));
        const QString copy = folder + o.baseName + variant.videoExtension;
        if (!stageVideo(in.my_video, copy, &why))
            return fail(QStringLiteral("The video"), in.my_video, why);
        r.written << copy;
        values.hasVideo = true;
        values.videoName = GetFileName(copy) + variant.videoExtension;
        r.videoCopy = copy;
        r.webVideoPath = folder + o.baseName + QStringLiteral(".mp4");
        r.posterPath = folder + o.baseName + QStringLiteral(".jpg");
    }

    if (in.wants_link) {
        const SafeLink link = safeLinkValue(in.my_link);
        values.hasLink = link.insert;
        values.link = link.value;
    }

    const QString templatePath = o.appFolder + QLatin1Char('/') + variant.templateFile;
    const QString pagePath = folder + r.pageName;
    values.pageName = r.pageName;
    const PageResult page = generatePage(templatePath, pagePath, replacementsFor(values, variant.order));
    if (!page.ok) {
        for (const QString &path : std::as_const(r.written))
            QFile::remove(path);
        r.written.clear();
        r.failedFile = page.file;
        r.error = page.error + QStringLiteral(" Nothing was uploaded.");
        return r;
    }
    r.written << pagePath;
    r.values = values;
    r.templatePath = templatePath;
    r.pagePath = pagePath;
    r.order = variant.order;
    r.ok = true;
    return r;
}

bool addWebVideo(PreparedMessage &m, const WebVideoOutcome &video, QString *error)
{
    if (m.videoCopy.isEmpty())
        return true;
    const bool sharesTheName = m.videoCopy == m.webVideoPath;   // an MP4 original
    m.originalCleaned = video.originalCleaned;
    if (!video.originalCleaned) {
        if (!video.mp4) {
            if (error)
                *error = QStringLiteral("The video could not be copied without its hidden details (%1), so it cannot "
                                        "go out. Nothing was uploaded.")
                             .arg(video.originalError);
            return false;
        }
        if (!sharesTheName) {
            QFile::remove(m.videoCopy);
            m.written.removeAll(m.videoCopy);
        }
        m.values.originalVideoWithheld = true;
    }
    m.values.hasWebVideo = video.mp4;
    m.values.webVideoName = QFileInfo(m.webVideoPath).fileName();
    m.values.hasPoster = video.poster;
    m.values.posterName = QFileInfo(m.posterPath).fileName();
    const QSize posterSize = video.poster ? QImageReader(m.posterPath).size() : QSize();
    m.values.posterWidth = posterSize.isValid() ? posterSize.width() : 0;
    m.values.posterHeight = posterSize.isValid() ? posterSize.height() : 0;
    for (const auto &[made, path] : {std::pair{video.mp4, m.webVideoPath}, std::pair{video.poster, m.posterPath}}) {
        if (made && !m.written.contains(path))
            m.written << path;
    }
    const PageResult page = generatePage(m.templatePath, m.pagePath, replacementsFor(m.values, m.order));
    if (!page.ok && error)
        *error = page.error;
    return page.ok;
}

PreparedMessage prepareAgain(PreparedMessage &old, const MessageInputs &in, const PrepareOptions &options)
{
    const QString temp = QFileInfo(options.outFolder + QLatin1Char('/')).absolutePath() + QStringLiteral("/.moving-");
    // What was made from the video moves along: its clean copy first, then the converted
    // files (an MP4 original shares its name with them). A fresh copy of the person's file
    // would carry its metadata again.
    const bool cleaned = old.originalCleaned && !old.videoCopy.isEmpty();
    struct Kept { bool made; QString from, aside; };
    std::vector<Kept> kept{{cleaned, old.videoCopy, {}},
                           {old.values.hasWebVideo, old.webVideoPath, {}},
                           {old.values.hasPoster, old.posterPath, {}}};
    for (Kept &k : kept) {
        if (!k.made || !QFileInfo::exists(k.from))
            continue;
        k.aside = temp + QString::number(&k - kept.data()) + QLatin1Char('-') + QFileInfo(k.from).fileName();
        QFile::remove(k.aside);
        if (!QFile::rename(k.from, k.aside))
            k.aside.clear();
    }
    for (const QString &path : std::as_const(old.written))
        QFile::remove(path);
    PreparedMessage r = prepareMessage(in, options);
    const QString targets[] = {r.videoCopy, r.webVideoPath, r.posterPath};
    bool moved[3] = {false, false, false};
    for (size_t i = 0; i < kept.size(); ++i) {
        if (kept[i].aside.isEmpty())
            continue;
        if (!r.ok || targets[i].isEmpty()) {
            QFile::remove(kept[i].aside);
            continue;
        }
        QFile::remove(targets[i]);
        moved[i] = QFile::rename(kept[i].aside, targets[i]);
    }
    const bool videoStepRan = old.originalCleaned || old.values.originalVideoWithheld || old.values.hasWebVideo
                              || old.values.hasPoster;
    if (r.ok && !r.videoCopy.isEmpty() && videoStepRan) {
        WebVideoOutcome video;
        video.originalCleaned = moved[0];
        video.originalError = QStringLiteral("it could not be moved to its new name");
        video.mp4 = moved[1];
        video.poster = moved[2];
        QString why;
        if (!addWebVideo(r, video, &why)) {
            for (const QString &path : std::as_const(r.written))
                QFile::remove(path);
            r.written.clear();
            r.ok = false;
            r.error = why.endsWith(QLatin1String("Nothing was uploaded.")) ? why : why + QStringLiteral(" Nothing was uploaded.");
        }
    }
    return r;
}

} // namespace parlivo
