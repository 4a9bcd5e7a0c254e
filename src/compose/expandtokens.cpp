#include "compose/expandtokens.h"

#include "util/errors.h"

#include <QHash>
#include <QList>

#include <algorithm>
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

QString ReplaceAt(const QString& text, const QList<qsizetype>& found, qsizetype length,
                  const QString& replacement)
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

// A run of one of the texts a pass works on.
struct Piece {
    int source = 0;
    qsizetype offset = 0;
    qsizetype length = 0;
};

// The text of a pass is a linked list of plain runs and tokens. Replacing a token rewrites
// its node in place, so node numbers held elsewhere stay valid.
struct Node {
    Piece piece = {};
    int next = -1;
    bool live = false; // a token not yet replaced
    bool upper = false; // its marker is written in capitals
    Piece inner = {}; // free-text body or Hotword
    QString key = {}; // inner, lower-cased: equal keys are the same token
    int frame = -1; // the include the text around it came from; -1 at the top
};
using Nodes = std::vector<Node>;

// One of the two looping steps: tokens of one kind are resolved first to last; resolving a
// token replaces every live copy of it at once. The pass ends when no live token is left,
// or none of those left has its marker in capitals.
class TokenPass {
public:
    TokenPass(QStringView marker, QStringView closer)
        : m_marker(marker)
        , m_markerLower(Lowered(marker.toString()))
        , m_closer(closer)
    {
    }
    virtual ~TokenPass() = default;

    Segments run(const Segments& segments)
    {
        Nodes first;
        for (const Segment& segment : segments) {
            const Nodes nodes = segment.data ? plain(segment.text, true) : scan(addText(segment.text));
            first.insert(first.end(), nodes.begin(), nodes.end());
        }
        m_nodes.push_back(Node{});
        replace(0, first, -1);
        for (int at = 0;;) {
            while (at >= 0 && !m_nodes[size_t(at)].live)
                at = m_nodes[size_t(at)].next;
            if (at < 0 || m_liveUpper == 0 || !resolve(at))
                break;
        }
        return assemble();
    }

protected:
    // Whether a token with this inner text can be resolved; others stay as plain text.
    virtual bool resolvable(QStringView inner) const = 0;
    // Replaces every live copy of the token at node, that one included; false ends the pass.
    virtual bool resolve(int node) = 0;

    int addText(QString text, bool data = false)
    {
        m_sources.push_back(std::move(text));
        m_data.push_back(data);
        return int(m_sources.size() - 1);
    }

    QStringView view(const Piece& piece) const
    {
        return QStringView(m_sources[size_t(piece.source)]).mid(piece.offset, piece.length);
    }

    const Node& node(int index) const { return m_nodes[size_t(index)]; }

    // The nodes of one text: its runs and its resolvable tokens, without links.
    Nodes scan(int source) const
    {
        const QString& text = m_sources[size_t(source)];
        const QString low = Lowered(text);
        Nodes result;
        qsizetype plainStart = 0;
        qsizetype at = 0;
        for (;;) {
            const qsizetype start = low.indexOf(m_markerLower, at);
            if (start < 0)
                break;
            const qsizetype innerStart = start + m_marker.size();
            const qsizetype close = low.indexOf(m_closer, innerStart);
            if (close < 0)
                break;
            const Piece inner{source, innerStart, close - innerStart};
            at = close + m_closer.size();
            if (!resolvable(view(inner)))
                continue;
            if (start > plainStart)
                result.push_back(Node{.piece = {source, plainStart, start - plainStart}});
            result.push_back(
                Node{.piece = {source, start, at - start},
                     .live = true,
                     .upper = QStringView(text).mid(start, m_marker.size()) == m_marker,
                     .inner = inner,
                     .key = low.mid(inner.offset, inner.length)});
            plainStart = at;
        }
        if (plainStart < text.size())
            result.push_back(Node{.piece = {source, plainStart, text.size() - plainStart}});
        return result;
    }

    // The nodes of a text that holds no token, or of data.
    Nodes plain(QString text, bool data = false)
    {
        const qsizetype length = text.size();
        return {Node{.piece = {addText(std::move(text), data), 0, length}}};
    }

    // Takes the live copies of a token out of the index; each must then be replaced.
    std::vector<int> takeLive(const QString& key)
    {
        const auto it = m_live.find(key);
        if (it == m_live.end())
            return {};
        std::vector<int> copies = std::move(*it);
        m_live.erase(it);
        return copies;
    }

    // Puts the nodes of replacement where node index stands; tokens in it belong to frame.
    void replace(int index, const Nodes& replacement, int frame)
    {
        const int after = m_nodes[size_t(index)].next;
        if (m_nodes[size_t(index)].live && m_nodes[size_t(index)].upper)
            --m_liveUpper;
        if (replacement.empty()) {
            m_nodes[size_t(index)] = Node{.next = after};
            return;
        }
        int previous = -1;
        for (const Node& part : replacement) {
            int current = index;
            if (previous >= 0) {
                current = int(m_nodes.size());
                m_nodes.push_back(part);
                m_nodes[size_t(previous)].next = current;
            } else {
                m_nodes[size_t(index)] = part;
            }
            Node& placed = m_nodes[size_t(current)];
            placed.frame = frame;
            placed.next = -1;
            if (placed.live) {
                m_live[placed.key].push_back(current);
                if (placed.upper)
                    ++m_liveUpper;
            }
            previous = current;
        }
        m_nodes[size_t(previous)].next = after;
    }

private:
    Segments assemble() const
    {
        Segments result;
        for (int at = 0; at >= 0; at = node(at).next) {
            const Piece& piece = node(at).piece;
            if (piece.length == 0)
                continue;
            const bool data = m_data[size_t(piece.source)];
            if (result.empty() || result.back().data != data)
                result.push_back({{}, data});
            result.back().text += view(piece);
        }
        return result;
    }

    const QStringView m_marker;
    const QString m_markerLower;
    const QStringView m_closer;
    std::vector<QString> m_sources;
    std::vector<bool> m_data; // per source: whether it is data
    Nodes m_nodes;
    QHash<QString, std::vector<int>> m_live;
    int m_liveUpper = 0;
};

// "^^INPUT:prompt||default^^": asks once per distinct token.
class FreeTextPass : public TokenPass {
public:
    explicit FreeTextPass(FreeTextPrompt& prompt)
        : TokenPass(u"^^INPUT:", u"^^")
        , m_prompt(prompt)
    {
    }

protected:
    bool resolvable(QStringView inner) const override
    {
        // The prompt is the body before the first "||"; without one it is empty.
        return inner.indexOf(u"||") > 0;
    }

    bool resolve(int index) override
    {
        const QStringView body = view(node(index).inner);
        const qsizetype bars = body.indexOf(u"||");
        const std::optional<QString> answer
            = m_prompt.askFreeText(body.left(bars).toString(), body.mid(bars + 2).toString());
        if (!answer)
            throw Abort();
        const Nodes replacement = scan(addText(*answer));
        for (const int copy : takeLive(node(index).key))
            replace(copy, replacement, -1);
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
    {
    }

protected:
    bool resolvable(QStringView) const override { return true; }

    bool resolve(int index) override
    {
        const QString key = node(index).key;
        const QString hotword = view(node(index).inner).toString();
        const QString quoted = u'"' + hotword + u'"';
        std::optional<HotwordText> found;
        Nodes body;
        bool nests = false; // the body holds include tokens of its own
        bool full = false;
        QHash<QString, Nodes> notes;

        for (const int copy : takeLive(key)) {
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
                    if (found->rowCount == 1) {
                        body = scan(addText(found->text));
                        nests = std::any_of(body.begin(), body.end(),
                                            [](const Node& part) { return part.live; });
                    }
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
                    replace(copy, body, nests ? int(m_frames.size() - 1) : frame);
                    continue;
                }
            }
            // Notes count against the limit too; a copy for which even its note does not fit
            // stays as written, and so does every include after it.
            if (note.size() > MaxIncludedLength - m_included)
                return false;
            m_included += note.size();
            auto it = notes.find(note);
            if (it == notes.end())
                it = notes.insert(note, plain(note));
            replace(copy, *it, frame);
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
