#include "compose/expandtokens.h"

#include "util/errors.h"

#include <QHash>
#include <QList>

#include <functional>
#include <optional>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Lower-cases unit by unit, as the case-insensitive text search does, so that positions in
// the copy are positions in the original.
QString Lowered(const QString& text)
{
    QString result(text.size(), Qt::Uninitialized);
    QChar* out = result.data();
    for (const QChar c : text)
        *out++ = c.toLower();
    return result;
}

// Every occurrence of token (lower case) without regard to case, left to right, not overlapping.
QList<qsizetype> Occurrences(const QString& text, QStringView token)
{
    QList<qsizetype> found;
    const QString low = Lowered(text);
    for (qsizetype at = low.indexOf(token); at >= 0; at = low.indexOf(token, at + token.size()))
        found.append(at);
    return found;
}

QString ReplaceAt(const QString& text, const QList<qsizetype>& found, qsizetype length, const QString& replacement)
{
    QString result;
    result.reserve(text.size() + found.size() * (replacement.size() - length));
    qsizetype from = 0;
    for (const qsizetype at : found) {
        result += QStringView(text).mid(from, at - from);
        result += replacement;
        from = at + length;
    }
    result += QStringView(text).mid(from);
    return result;
}

// The text between steps: runs of text, and runs of data that later steps leave alone.
struct Segment {
    QString text;
    bool data = false;
};
using Segments = std::vector<Segment>;

// Clipboard text is data: it goes in as it is.
Segments SplitAtClipboard(const QString& text, ClipboardTextSource& clipboard)
{
    static constexpr QStringView token = u"%clipboard%";
    const QList<qsizetype> found = Occurrences(text, token);
    if (found.isEmpty())
        return {{text}};
    const std::optional<QString> clipboardText = clipboard.clipboardText();
    if (!clipboardText)
        return {{text}};
    Segments result;
    qsizetype from = 0;
    for (const qsizetype at : found) {
        result.push_back({text.mid(from, at - from)});
        result.push_back({*clipboardText, true});
        from = at + token.size();
    }
    result.push_back({text.mid(from)});
    return result;
}

// Replaces the token in every text run by one value, asked for only when the token occurs.
void ReplaceInText(Segments& segments, QStringView token, const std::function<QString()>& value)
{
    std::optional<QString> replacement;
    for (Segment& segment : segments) {
        if (segment.data)
            continue;
        const QList<qsizetype> found = Occurrences(segment.text, token);
        if (found.isEmpty())
            continue;
        if (!replacement)
            replacement = value();
        segment.text = ReplaceAt(segment.text, found, token.size(), *replacement);
    }
}

void ReplaceDates(Segments& segments, Clock& clock, DateFormats& formats)
{
    ReplaceInText(segments, u"%date%", [&] { return formats.shortDate(clock.now().date()); });
    ReplaceInText(segments, u"%datetime%", [&] {
        const QDateTime now = clock.now();
        QString value = formats.shortDate(now.date());
        if (now.time() != QTime(0, 0))
            value += u' ' + formats.longTime(now.time());
        return value;
    });
}

// The text of one looping step as a list of nodes. A text node either starts with the
// step's marker (in any case) or is the first after a barrier; no marker starts anywhere
// else, so none reaches across two nodes. Barriers are data and tokens left as written:
// nothing reaches into or across them. Node 0 is a barrier that starts the list.
struct Node {
    QString text = {};
    int prev = -1;
    int next = -1;
    bool barrier = false;
    bool data = false;
    bool marker = false; // starts with the marker and is still in the list
    bool upper = false; // its marker is written in capitals
    bool closed = false;
    bool indexed = false;
    qsizetype close = 0; // where its closer starts; at or past the end when it is the next marker's
    QString key = {}; // inner text, lower-cased: equal keys are copies of one token
    int frame = -1; // the include whose body holds the whole token; -1 for none
    quint64 stamp = 0; // the resolution that counted it as a copy
};

// One of the two looping steps, done as the literal loop does it: while the text holds the
// marker in capitals, take the first token (marker in any case), and replace every copy of
// its text then present, left to right, without rescanning what is put in. A token that
// cannot be filled in stays as written, and the text after it is looped over as a text of
// its own.
class TokenPass {
public:
    TokenPass(QStringView marker, QStringView closer)
        : m_marker(marker)
        , m_markerLower(Lowered(marker.toString()))
        , m_closer(closer)
    { }
    virtual ~TokenPass() = default;

    Segments run(const Segments& segments)
    {
        m_nodes.push_back(Node{.barrier = true});
        int last = 0;
        for (const Segment& segment : segments) {
            if (segment.data) {
                last = insertAfter(last, Node{.text = segment.text, .barrier = true, .data = true});
                continue;
            }
            splice(last, segment.text, -1, 0, -1, -1);
            while (node(last).next >= 0)
                last = node(last).next;
        }
        for (int at = 0;;) {
            while (at >= 0 && !node(at).marker)
                at = node(at).next;
            if (at < 0 || m_upper == 0)
                break;
            const int before = node(at).prev;
            if (!node(at).closed || !fillable(at))
                leaveAsWritten(at);
            else if (!resolve(at))
                break;
            at = before;
        }
        return assemble();
    }

protected:
    // Whether the token at node can be filled in; others stay as written.
    virtual bool fillable(int node) const = 0;
    // Replaces the copies of the first token, node; false ends the step.
    virtual bool resolve(int node) = 0;

    const Node& node(int index) const { return m_nodes[size_t(index)]; }

    // The text between marker and closer, as written.
    QStringView inner(int index) const
    {
        const Node& token = node(index);
        return QStringView(token.text).mid(m_marker.size(), token.close - m_marker.size());
    }

    // The copies of node's token that one replacement of its text takes: every node with
    // that key, except one whose marker the closer of a taken copy before it overlaps.
    std::vector<int> takeCopies(int index)
    {
        const QString key = node(index).key;
        ++m_stamp;
        std::vector<int> copies;
        if (const auto it = m_byKey.find(key); it != m_byKey.end()) {
            for (const int copy : *it) {
                Node& candidate = m_nodes[size_t(copy)];
                if (candidate.marker && candidate.closed && candidate.key == key && candidate.stamp != m_stamp) {
                    candidate.stamp = m_stamp;
                    copies.push_back(copy);
                }
            }
            m_byKey.erase(it);
        }
        const auto counted = [this](int at) { return at >= 0 && node(at).stamp == m_stamp; };
        std::vector<int> taken;
        for (const int copy : copies) {
            if (counted(node(copy).prev) && reachesNext(node(copy).prev))
                continue; // taken or passed over with the chain it belongs to
            bool take = true;
            for (int at = copy;; take = !take) {
                if (take)
                    taken.push_back(at);
                if (!reachesNext(at) || !counted(node(at).next))
                    break;
                at = node(at).next;
            }
        }
        return taken;
    }

    // Replaces one copy by text; tokens wholly inside text belong to innerFrame.
    void replaceCopy(int index, const QString& text, int innerFrame)
    {
        const Node& copy = node(index);
        if (!copy.marker || !copy.closed)
            return; // taken with a copy before it

        const qsizetype end = copy.close + m_closer.size();
        const int left = copy.prev;
        const int frame = copy.frame;
        QString rest;
        int right = copy.next;
        if (end > copy.text.size()) {
            rest = node(right).text.mid(end - copy.text.size());
            const int eaten = right;
            right = node(eaten).next;
            unlink(eaten);
        } else {
            rest = copy.text.mid(end);
        }
        unlink(index);
        splice(left, text + rest, right, text.size(), innerFrame, frame);
    }

private:
    bool reachesNext(int index) const
    {
        const Node& token = node(index);
        return token.closed && token.close + m_closer.size() > token.text.size();
    }

    int insertAfter(int left, Node added)
    {
        const int index = int(m_nodes.size());
        added.prev = left;
        added.next = node(left).next;
        if (added.next >= 0)
            m_nodes[size_t(added.next)].prev = index;
        m_nodes[size_t(left)].next = index;
        if (added.marker && added.upper)
            ++m_upper;
        m_nodes.push_back(std::move(added));
        return index;
    }

    void unlink(int index)
    {
        Node& gone = m_nodes[size_t(index)];
        if (gone.prev >= 0)
            m_nodes[size_t(gone.prev)].next = gone.next;
        if (gone.next >= 0)
            m_nodes[size_t(gone.next)].prev = gone.prev;
        unmark(gone);
    }

    void unmark(Node& token)
    {
        if (token.marker && token.upper)
            --m_upper;
        token.marker = false;
    }

    // Finds where a marker node's token closes and files it under its key.
    void settle(int index)
    {
        Node& token = m_nodes[size_t(index)];
        const qsizetype found = token.text.indexOf(m_closer, m_marker.size());
        token.closed = true;
        if (found >= 0) {
            token.close = found;
        } else if (token.next >= 0 && node(token.next).marker) {
            // The next marker starts with the closer; a closer may also begin at our end.
            token.close = token.text.size();
            for (qsizetype part = m_closer.size() - 1; part > 0; --part) {
                if (token.text.size() - part >= m_marker.size() && token.text.endsWith(m_closer.left(part))) {
                    token.close = token.text.size() - part;
                    break;
                }
            }
        } else {
            token.closed = false;
        }
        if (!token.closed) {
            token.indexed = false;
            return;
        }
        QString key = Lowered(inner(index).toString());
        if (!token.indexed || key != token.key)
            m_byKey[key].push_back(index);
        token.key = std::move(key);
        token.indexed = true;
    }

    // Puts text between left and right, which are then neighbours, and splits it at the
    // markers it forms, also with the end of left. The first innerLength characters are an
    // answer or body: tokens wholly inside them belong to innerFrame, others to outerFrame.
    void splice(int left, const QString& text, int right, qsizetype innerLength, int innerFrame, int outerFrame)
    {
        m_nodes[size_t(left)].next = right;
        if (right >= 0)
            m_nodes[size_t(right)].prev = left;
        const QString before
            = node(left).barrier ? QString() : node(left).text.right(qMin(m_marker.size() - 1, node(left).text.size()));
        const QString window = before + text;
        const QString low = Lowered(window);
        std::vector<qsizetype> starts;
        for (qsizetype at = low.indexOf(m_markerLower); at >= 0; at = low.indexOf(m_markerLower, at + m_marker.size()))
            starts.push_back(at);

        const qsizetype lead = starts.empty() ? window.size() : starts.front();
        int previous = left;
        if (lead < before.size()) {
            m_nodes[size_t(left)].text.chop(before.size() - lead);
        } else if (lead > before.size()) {
            const QString leading = window.mid(before.size(), lead - before.size());
            if (node(left).barrier)
                previous = insertAfter(left, Node{.text = leading});
            else
                m_nodes[size_t(left)].text += leading;
        }
        std::vector<int> added;
        for (size_t i = 0; i < starts.size(); ++i) {
            const qsizetype end = i + 1 < starts.size() ? starts[i + 1] : window.size();
            QString part = window.mid(starts[i], end - starts[i]);
            const bool upper = QStringView(part).left(m_marker.size()) == m_marker;
            previous = insertAfter(previous, Node{.text = std::move(part), .marker = true, .upper = upper});
            added.push_back(previous);
        }
        if (node(left).marker)
            settle(left);
        for (size_t i = 0; i < added.size(); ++i) {
            settle(added[i]);
            Node& token = m_nodes[size_t(added[i])];
            const qsizetype start = starts[i] - before.size();
            const bool inside = token.closed && start >= 0 && start + token.close + m_closer.size() <= innerLength;
            token.frame = inside ? innerFrame : outerFrame;
        }
    }

    // The first token cannot be filled in: it and the text before it are final.
    void leaveAsWritten(int index)
    {
        Node& token = m_nodes[size_t(index)];
        unmark(token);
        token.barrier = true;
        if (!token.closed)
            return; // no closer up to the next barrier
        const qsizetype end = token.close + m_closer.size();
        QString rest;
        int right = token.next;
        if (end > token.text.size()) {
            const qsizetype eaten = end - token.text.size();
            token.text += node(right).text.left(eaten);
            rest = node(right).text.mid(eaten);
            const int gone = right;
            right = node(gone).next;
            unlink(gone);
        } else {
            rest = token.text.mid(end);
            token.text.truncate(end);
        }
        splice(index, rest, right, 0, -1, -1);
    }

    Segments assemble() const
    {
        Segments result;
        for (int at = 0; at >= 0; at = node(at).next) {
            const Node& part = node(at);
            if (part.text.isEmpty())
                continue;
            if (result.empty() || result.back().data != part.data)
                result.push_back({{}, part.data});
            result.back().text += part.text;
        }
        return result;
    }

    const QStringView m_marker;
    const QString m_markerLower;
    const QStringView m_closer;
    std::vector<Node> m_nodes;
    QHash<QString, std::vector<int>> m_byKey;
    int m_upper = 0; // marker nodes written in capitals
    quint64 m_stamp = 0;
};

// "^^INPUT:prompt||default^^": asks once per distinct token.
class FreeTextPass : public TokenPass {
public:
    explicit FreeTextPass(FreeTextPrompt& prompt)
        : TokenPass(u"^^INPUT:", u"^^")
        , m_prompt(prompt)
    { }

protected:
    bool fillable(int index) const override
    {
        // The prompt is the body before the first "||"; without one it is empty.
        return inner(index).indexOf(u"||") > 0;
    }

    bool resolve(int index) override
    {
        const QStringView body = inner(index);
        const qsizetype bars = body.indexOf(u"||");
        const std::optional<QString> answer
            = m_prompt.askFreeText(body.left(bars).toString(), body.mid(bars + 2).toString());
        if (!answer)
            throw Abort();
        for (const int copy : takeCopies(index))
            replaceCopy(copy, *answer, -1);
        return true;
    }

private:
    FreeTextPrompt& m_prompt;
};

// "%INCLUDE:hotword%": looks the Hotword up once per distinct token and nests the body.
class IncludePass : public TokenPass {
public:
    explicit IncludePass(IncludeLookup& lookup)
        : TokenPass(u"%INCLUDE:", u"%")
        , m_lookup(lookup)
    { }

protected:
    bool fillable(int) const override { return true; }

    bool resolve(int index) override
    {
        const QString key = node(index).key;
        const QString hotword = inner(index).toString();
        const QString quoted = u'"' + hotword + u'"';
        std::optional<HotwordText> found;
        bool nests = false; // the body holds a marker of its own
        bool full = false;

        for (const int copy : takeCopies(index)) {
            const int frame = node(copy).frame;
            const int depth = frame < 0 ? 0 : m_frames[size_t(frame)].depth;
            QString note;
            if (including(frame, key)) {
                note = u"Circular include of hotword "_s + quoted + u". Please check."_s;
            } else if (depth >= MaxIncludeDepth) {
                note = u"Includes nested too deeply at hotword "_s + quoted + u". Please check."_s;
            } else {
                if (!found) {
                    found = m_lookup.textByHotword(hotword);
                    nests = found->rowCount == 1 && found->text.contains(u"%INCLUDE:", Qt::CaseInsensitive);
                }
                if (found->rowCount == 0) {
                    note = u"HotWord "_s + quoted + u" not found."_s;
                } else if (found->rowCount > 1) {
                    note = u"Multiple entries found for hotword "_s + quoted + u". Please check."_s;
                } else if (found->text.size() > MaxIncludedLength - m_included) {
                    note = u"Included text too long at hotword "_s + quoted + u". Please check."_s;
                    full = true;
                } else {
                    m_included += found->text.size();
                    if (nests)
                        m_frames.push_back(Frame{key, frame, depth + 1});
                    replaceCopy(copy, found->text, nests ? int(m_frames.size() - 1) : frame);
                    continue;
                }
            }
            // Notes count against the limit too; a copy for which even its note does not fit
            // stays as written, and so does every include after it.
            if (note.size() > MaxIncludedLength - m_included)
                return false;
            m_included += note.size();
            replaceCopy(copy, note, frame);
        }
        // Once a body does not fit, the includes after it stay as written.
        return !full;
    }

private:
    // One included body: the Hotword it was included by and the include around it.
    struct Frame {
        QString key;
        int parent = -1;
        int depth = 0;
    };

    bool including(int frame, const QString& key) const
    {
        for (; frame >= 0; frame = m_frames[size_t(frame)].parent) {
            if (m_frames[size_t(frame)].key == key)
                return true;
        }
        return false;
    }

    IncludeLookup& m_lookup;
    std::vector<Frame> m_frames;
    qsizetype m_included = 0;
};

} // namespace

QString ExpandTokens(const QString& text, const TokenSources& sources)
{
    Segments segments = SplitAtClipboard(text, sources.clipboard);
    ReplaceDates(segments, sources.clock, sources.dateFormats);
    segments = FreeTextPass(sources.prompt).run(segments);
    segments = IncludePass(sources.includes).run(segments);
    QString result;
    for (const Segment& segment : segments)
        result += segment.text;
    return result;
}
