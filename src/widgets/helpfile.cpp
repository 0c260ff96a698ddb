// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/helpfile.h"

#include <QFile>
#include <QRegularExpression>

namespace {

const QRegularExpression TopicLine(QStringLiteral("^@topic\\s+(\\w+)(?:\\s+(\\d+))?\\s*$"));
const QRegularExpression LinkMarkup(QStringLiteral("\\[\\[(\\w+)(?:\\|([^\\]]*))?\\]\\]"));

bool isDirective(const QString& line, const QString& name)
{
    return line.startsWith(QLatin1Char('@') + name) &&
           (line.size() == name.size() + 1 || line[name.size() + 1].isSpace());
}

bool sameIdentifier(const QString& left, const QString& right)
{
    return left.compare(right, Qt::CaseInsensitive) == 0;
}

}  // namespace

HelpFile HelpFile::parse(const QString& text)
{
    HelpFile file;
    HelpTopic* topic = nullptr;
    for (const QString& rawLine : text.split(QLatin1Char('\n'))) {
        const QString line = rawLine.endsWith(QLatin1Char('\r')) ? rawLine.chopped(1) : rawLine;
        if (line.startsWith(QLatin1Char('#'))) continue;
        if (isDirective(line, QStringLiteral("topic"))) {
            const auto match = TopicLine.match(line);
            HelpTopic next;
            next.identifier = match.captured(1);
            next.context = match.captured(2).toInt();
            next.title = next.identifier;
            next.reachable = match.hasMatch() && (match.captured(2).isEmpty() || next.context > 0) &&
                             !file.findTopic(next.identifier) && (next.context == 0 || !file.findContext(next.context));
            file.all.push_back(next);
            topic = &file.all.back();
        } else if (topic && isDirective(line, QStringLiteral("title"))) {
            topic->title = line.mid(6).trimmed();
        } else if (topic) {
            topic->body.append(line);
        }
    }
    return file;
}

std::optional<HelpFile> HelpFile::load(const QString& path)
{
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) return std::nullopt;
    return parse(QString::fromUtf8(source.readAll()));
}

const HelpTopic* HelpFile::findTopic(const QString& identifier) const
{
    for (const HelpTopic& topic : all)
        if (topic.reachable && sameIdentifier(topic.identifier, identifier)) return &topic;
    return nullptr;
}

const HelpTopic* HelpFile::findContext(int context) const
{
    if (context <= 0) return nullptr;
    for (const HelpTopic& topic : all)
        if (topic.reachable && topic.context == context) return &topic;
    return nullptr;
}

QString HelpFile::linkText(const QString& identifier, const QString& words) const
{
    const HelpTopic* target = findTopic(identifier);
    const QString shown = !words.isEmpty() ? words : target ? target->title : identifier;
    return QStringLiteral("<a href=\"topic:%1\">%2</a>").arg(identifier, shown);
}

QString HelpFile::inlineHtml(const QString& line) const
{
    QString html;
    qsizetype done = 0;
    for (auto links = LinkMarkup.globalMatch(line); links.hasNext();) {
        const auto link = links.next();
        html += line.mid(done, link.capturedStart() - done).toHtmlEscaped();
        html += linkText(link.captured(1), link.captured(2).toHtmlEscaped());
        done = link.capturedEnd();
    }
    return html + line.mid(done).toHtmlEscaped();
}

QString HelpFile::html(const HelpTopic& topic) const
{
    QString html = QStringLiteral("<h2>%1</h2>\n").arg(topic.title.toHtmlEscaped());
    enum class Block { None, Paragraph, List } open = Block::None;
    const auto close = [&] {
        if (open == Block::Paragraph) html += QStringLiteral("</p>\n");
        if (open == Block::List) html += QStringLiteral("</li></ul>\n");
        open = Block::None;
    };
    for (const QString& line : topic.body) {
        const QString text = line.trimmed();
        if (text.isEmpty()) {
            close();
        } else if (line.startsWith(QStringLiteral("=="))) {
            close();
            html += QStringLiteral("<h3>%1</h3>\n").arg(inlineHtml(line.mid(2).trimmed()));
        } else if (line.startsWith(QStringLiteral("- "))) {
            if (open == Block::List) {
                html += QStringLiteral("</li><li>");
            } else {
                close();
                html += QStringLiteral("<ul><li>");
                open = Block::List;
            }
            html += inlineHtml(line.mid(2).trimmed());
        } else if (open == Block::List && line.front().isSpace()) {
            html += QLatin1Char(' ') + inlineHtml(text);
        } else {
            if (open == Block::List) close();
            html += open == Block::Paragraph ? QStringLiteral(" ") : QStringLiteral("<p>");
            open = Block::Paragraph;
            html += inlineHtml(text);
        }
    }
    close();
    return html;
}
