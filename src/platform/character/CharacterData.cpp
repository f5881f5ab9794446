#include "platform/character/CharacterData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

namespace parlivo {

namespace {

// Ease in and out between keys, so motion starts and settles softly.
double ease(double u) { return u * u * (3.0 - 2.0 * u); }

bool readPair(const QJsonValue &v, double *a, double *b)
{
    const QJsonArray arr = v.toArray();
    if (arr.size() != 2 || !arr[0].isDouble() || !arr[1].isDouble())
        return false;
    *a = arr[0].toDouble();
    *b = arr[1].toDouble();
    return true;
}

double channel(const CharacterPose &pose, const QString &part, const char *what)
{
    return pose.value(part + QLatin1Char('.') + QLatin1String(what), 0.0);
}

void drawStar(QPainter &p, QPointF c, double r, double turn)
{
    QPainterPath path;
    for (int i = 0; i < 8; ++i) {
        const double a = turn + i * M_PI / 4.0;
        const double rr = (i % 2 == 0) ? r : r * 0.38;
        const QPointF pt(c.x() + rr * std::cos(a), c.y() + rr * std::sin(a));
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    path.closeSubpath();
    p.drawPath(path);
}

} // namespace

void CharacterAnimation::sample(double t, CharacterPose &pose) const
{
    if (loop && duration > 0)
        t = std::fmod(std::max(0.0, t), duration);
    for (auto it = tracks.constBegin(); it != tracks.constEnd(); ++it) {
        const QVector<Key> &keys = it.value();
        if (keys.isEmpty())
            continue;
        double v;
        if (t <= keys.first().t) {
            v = keys.first().v;
        } else if (t >= keys.last().t) {
            v = keys.last().v;
        } else {
            qsizetype i = 1;
            while (keys[i].t < t)
                ++i;
            const Key &a = keys[i - 1], &b = keys[i];
            const double span = b.t - a.t;
            v = span <= 0 ? b.v : a.v + (b.v - a.v) * ease((t - a.t) / span);
        }
        pose[it.key()] += v;
    }
}

std::unique_ptr<CharacterData> CharacterData::load(const QString &path, QString *error)
{
    auto fail = [error](const QString &why) -> std::unique_ptr<CharacterData> {
        if (error)
            *error = why;
        return nullptr;
    };
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot read %1").arg(path));
    QJsonParseError perr{};
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &perr);
    if (perr.error != QJsonParseError::NoError || !doc.isObject())
        return fail(QStringLiteral("%1: %2").arg(path, perr.errorString()));
    const QJsonObject root = doc.object();
    const QDir folder = QFileInfo(path).absoluteDir();

    auto data = std::make_unique<CharacterData>();
    data->name = root.value(QLatin1String("name")).toString();
    double a, b;
    if (!readPair(root.value(QLatin1String("canvas")), &a, &b) || a <= 0 || b <= 0)
        return fail(QStringLiteral("canvas needs a width and a height"));
    data->canvas = QSizeF(a, b);
    if (!readPair(root.value(QLatin1String("size")), &a, &b) || a < 1 || b < 1 || a > 2000 || b > 2000)
        return fail(QStringLiteral("size needs a width and a height in pixels"));
    data->size = QSize(int(a), int(b));

    QHash<QString, int> index;
    for (const QJsonValue &pv : root.value(QLatin1String("parts")).toArray()) {
        const QJsonObject po = pv.toObject();
        CharacterPart part;
        part.name = po.value(QLatin1String("name")).toString();
        if (part.name.isEmpty() || index.contains(part.name))
            return fail(QStringLiteral("every part needs a name of its own"));
        const QString parent = po.value(QLatin1String("parent")).toString(QStringLiteral("root"));
        if (parent != QLatin1String("root")) {
            // Parents come first, so one pass in drawing order can build every transform.
            if (!index.contains(parent))
                return fail(QStringLiteral("part %1: parent %2 must come before it").arg(part.name, parent));
            part.parent = index.value(parent);
        }
        if (!readPair(po.value(QLatin1String("pivot")), &a, &b))
            return fail(QStringLiteral("part %1 needs a pivot").arg(part.name));
        part.pivot = QPointF(a, b);
        part.hiddenAtRest = po.value(QLatin1String("hidden")).toBool(false);
        QStringList files;
        if (po.contains(QLatin1String("svgs"))) {
            for (const QJsonValue &s : po.value(QLatin1String("svgs")).toArray())
                files << s.toString();
        } else {
            files << po.value(QLatin1String("svg")).toString();
        }
        for (const QString &file : files) {
            auto r = std::make_shared<QSvgRenderer>(folder.filePath(file));
            if (file.isEmpty() || !r->isValid())
                return fail(QStringLiteral("part %1: cannot draw %2").arg(part.name, file));
            part.drawings.push_back(std::move(r));
        }
        index.insert(part.name, int(data->parts.size()));
        data->parts.push_back(std::move(part));
    }
    if (data->parts.empty())
        return fail(QStringLiteral("the character has no parts"));

    const QJsonObject anims = root.value(QLatin1String("animations")).toObject();
    for (auto it = anims.begin(); it != anims.end(); ++it) {
        const QJsonObject ao = it.value().toObject();
        CharacterAnimation anim;
        anim.name = it.key();
        anim.duration = ao.value(QLatin1String("duration")).toDouble(0);
        anim.loop = ao.value(QLatin1String("loop")).toBool(false);
        if (!(anim.duration > 0) || anim.duration > 600)
            return fail(QStringLiteral("animation %1 needs a duration").arg(anim.name));
        const QJsonObject tracks = ao.value(QLatin1String("tracks")).toObject();
        for (auto tt = tracks.begin(); tt != tracks.end(); ++tt) {
            QVector<CharacterAnimation::Key> keys;
            for (const QJsonValue &kv : tt.value().toArray()) {
                if (!readPair(kv, &a, &b) || (!keys.isEmpty() && a < keys.last().t))
                    return fail(QStringLiteral("animation %1, %2: keys need rising times").arg(anim.name, tt.key()));
                keys.push_back({a, b});
            }
            anim.tracks.insert(tt.key(), keys);
        }
        data->m_animations.insert(anim.name.toLower(), anim);
    }
    data->idleName = root.value(QLatin1String("idle")).toString();
    data->flyName = root.value(QLatin1String("fly")).toString();
    data->appearName = root.value(QLatin1String("appear")).toString();
    data->disappearName = root.value(QLatin1String("disappear")).toString();
    return data;
}

const CharacterAnimation *CharacterData::animation(const QString &name) const
{
    auto it = m_animations.constFind(name.toLower());
    return it == m_animations.constEnd() ? nullptr : &*it;
}

QStringList CharacterData::animationNames() const
{
    QStringList names;
    for (const CharacterAnimation &a : m_animations)
        names << a.name;
    names.sort();
    return names;
}

void CharacterData::render(QPainter &painter, const CharacterPose &pose, double clock) const
{
    // One scale for both directions, so the figure keeps its proportions in any frame;
    // it stands centred on the frame's bottom edge.
    const double scale = std::min(size.width() / canvas.width(), size.height() / canvas.height());
    const QTransform toPixels = QTransform::fromScale(scale, scale)
        * QTransform::fromTranslate((size.width() - canvas.width() * scale) / 2, size.height() - canvas.height() * scale);
    const QPointF rootPivot(canvas.width() / 2, canvas.height() * 0.96);
    auto local = [&pose](const QString &part, QPointF pivot) {
        QTransform t;
        t.translate(pivot.x() + channel(pose, part, "x"), pivot.y() + channel(pose, part, "y"));
        t.rotate(channel(pose, part, "rot"));
        t.scale(std::max(0.0, 1.0 + channel(pose, part, "sx")), std::max(0.0, 1.0 + channel(pose, part, "sy")));
        t.translate(-pivot.x(), -pivot.y());
        return t;
    };
    const QTransform rootT = local(QStringLiteral("root"), rootPivot);
    std::vector<QTransform> world(parts.size());
    // Whatever the painter was already set to (a smaller frame) still applies.
    const QTransform frame = painter.transform();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (size_t i = 0; i < parts.size(); ++i) {
        const CharacterPart &part = parts[i];
        world[i] = local(part.name, part.pivot) * (part.parent < 0 ? rootT : world[size_t(part.parent)]);
        const double show = (part.hiddenAtRest ? 0.0 : 1.0) + channel(pose, part.name, "show");
        if (show < 0.5)
            continue;
        size_t which = 0;
        if (part.drawings.size() > 1) {
            const double open = std::clamp(channel(pose, part.name, "open"), 0.0, 1.0);
            which = std::min(part.drawings.size() - 1, size_t(open * double(part.drawings.size()) * 0.999));
        }
        painter.setTransform(world[i] * toPixels * frame);
        part.drawings[which]->render(&painter, QRectF(QPointF(0, 0), canvas));
    }
    // Sparkles of magic around the figure when it appears, vanishes or is delighted.
    const double magic = std::clamp(pose.value(QStringLiteral("magic"), 0.0), 0.0, 1.5);
    if (magic > 0.02) {
        painter.setTransform(rootT * toPixels * frame);
        painter.setPen(QPen(QColor(0x8a, 0x5a, 0x00), 1.2));
        const QColor gold(0xff, 0xd8, 0x4a), pale(0xff, 0xf4, 0xb8);
        const QPointF centre(canvas.width() / 2, canvas.height() * 0.52);
        for (int i = 0; i < 9; ++i) {
            const double a = clock * (0.9 + 0.07 * i) + i * 2.0 * M_PI / 9.0;
            const double rx = canvas.width() * (0.36 + 0.05 * std::sin(clock * 2.1 + i));
            const double ry = canvas.height() * (0.40 + 0.04 * std::cos(clock * 1.7 + i));
            const QPointF c(centre.x() + rx * std::cos(a), centre.y() + ry * std::sin(a));
            const double twinkle = 0.6 + 0.4 * std::sin(clock * 9.0 + i * 1.3);
            painter.setBrush(i % 2 ? gold : pale);
            drawStar(painter, c, (7.0 + 4.0 * (i % 3)) * magic * twinkle, clock * 2.0 + i);
        }
    }
    painter.restore();
}

} // namespace parlivo
