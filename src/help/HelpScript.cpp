#include "HelpScript.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace parlivo {

namespace {

bool readPair(const QJsonValue &v, QPointF *out)
{
    const QJsonArray a = v.toArray();
    if (a.size() != 2 || !a[0].isDouble() || !a[1].isDouble())
        return false;
    // Offsets are single precision, as the window's own coordinates are; a number beyond a
    // float's range becomes infinite only in the narrowing, so that is where it is checked.
    const float x = float(a[0].toDouble()), y = float(a[1].toDouble());
    if (!std::isfinite(x) || !std::isfinite(y))
        return false;
    *out = QPointF(double(x), double(y));
    return true;
}

bool readStep(const QJsonValue &v, ScriptStep *out, QString *why)
{
    const QJsonObject o = v.toObject();
    if (o.size() != 1) {
        *why = QStringLiteral("a step needs exactly one of say, play, move, screen");
        return false;
    }
    const QString key = o.begin().key();
    const QJsonValue value = o.begin().value();
    if (key == QLatin1String("say") || key == QLatin1String("play")) {
        if (!value.isString() || value.toString().isEmpty()) {
            *why = key + QStringLiteral(" needs a non-empty text");
            return false;
        }
        *out = key == QLatin1String("say") ? ScriptStep::say(value.toString()) : ScriptStep::play(value.toString());
        return true;
    }
    if (key == QLatin1String("move") || key == QLatin1String("screen")) {
        QPointF p;
        if (!readPair(value, &p)) {
            *why = key + QStringLiteral(" needs two numbers");
            return false;
        }
        *out = key == QLatin1String("move") ? ScriptStep::moveOffset(p.x(), p.y()) : ScriptStep::moveScreen(p.x(), p.y());
        return true;
    }
    *why = QStringLiteral("unknown step kind \"%1\"").arg(key);
    return false;
}

} // namespace

HelpScripts HelpScripts::fromJson(const QByteArray &json)
{
    HelpScripts s;
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject()) {
        s.m_errors << QStringLiteral("not a topics file: %1 at offset %2").arg(err.errorString()).arg(err.offset);
        return s;
    }
    if (!doc.object().value(QLatin1String("topics")).isObject()) {
        s.m_errors << QStringLiteral("not a topics file: no \"topics\" object");
        return s;
    }
    const QJsonObject topics = doc.object().value(QLatin1String("topics")).toObject();
    for (auto it = topics.begin(); it != topics.end(); ++it) {
        const QJsonObject t = it.value().toObject();
        HelpTopic topic;
        topic.name = it.key();
        topic.caption = t.value(QLatin1String("caption")).toString();
        if (!readPair(t.value(QLatin1String("start")), &topic.start)) {
            s.m_errors << topic.name + QStringLiteral(": start needs two numbers");
            continue;
        }
        const QJsonArray steps = t.value(QLatin1String("steps")).toArray();
        bool ok = true;
        for (qsizetype i = 0; i < steps.size() && ok; ++i) {
            ScriptStep step;
            QString why;
            ok = readStep(steps[i], &step, &why);
            if (ok)
                topic.steps.push_back(step);
            else
                s.m_errors << QStringLiteral("%1 step %2: %3").arg(topic.name).arg(i + 1).arg(why);
        }
        if (!ok)
            continue;
        s.m_order << topic.name;
        s.m_topics.insert(topic.name, topic);
    }
    return s;
}

HelpScripts HelpScripts::fromFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        HelpScripts s;
        s.m_errors << QStringLiteral("cannot read %1").arg(path);
        return s;
    }
    return fromJson(f.readAll());
}

const HelpTopic *HelpScripts::topic(const QString &name) const
{
    auto it = m_topics.constFind(name);
    return it == m_topics.constEnd() ? nullptr : &*it;
}

} // namespace parlivo
