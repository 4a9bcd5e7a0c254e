#pragma once

#include "compose/tokensources.h"

#include <QString>

// Turns a Message body into the text to paste, in this order: "%CLIPBOARD%", "%DATE%",
// "%DATETIME%" (any case), then free-text fields "^^INPUT:prompt||default^^", then includes
// "%INCLUDE:hotword%". Text brought in by a step is subject to the later steps only, except
// the clipboard's text: that is data, inserted as it is; no step expands tokens in it, and
// no token reaches across it.
// Free-text fields and includes are each expanded by a loop over the whole text: while it
// holds the marker in capitals, the first token (marker in any case, up to the next closer)
// is filled in, and every copy of its text then present, in any case, is replaced left to
// right. A closer may be the start of the next marker, and an answer or body may complete a
// token with the text after it; a copy that an answer or body brings in later is asked for
// again.
//
// Tokens that cannot be filled in stay in the text as written: a free-text field without a
// prompt, a "^^INPUT:" without a closing "^^", an "%INCLUDE:" without a closing "%". The loop
// then goes on over the text after such a token as over a text of its own.
//
// Includes nest up to MaxIncludeDepth bodies deep. An include of a Hotword that is already
// being included, or one nested deeper, is replaced by a note instead of the body (an include
// counts as inside a body only when the body holds the whole token). So is one that would
// take the included text, counting every copy and every note, past MaxIncludedLength
// characters; the includes still left after it then stay as written, as does one for which
// not even the note fits.
//
// Raises Abort when the user cancels a prompt; errors of the sources pass through.
QString ExpandTokens(const QString& text, const TokenSources& sources);

inline constexpr int MaxIncludeDepth = 32;
inline constexpr qsizetype MaxIncludedLength = qsizetype(8) * 1024 * 1024;
