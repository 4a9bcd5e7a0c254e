#pragma once

#include "compose/tokensources.h"

#include <QString>

// Turns a Message body into the text to paste, in this order: "%CLIPBOARD%", "%DATE%",
// "%DATETIME%" (any case), then free-text fields "^^INPUT:prompt||default^^", then includes
// "%INCLUDE:hotword%". Text brought in by a step is subject to the later steps only, except
// the clipboard's text: that is data, inserted as it is, and no step expands tokens in it.
// Free-text fields and includes are expanded first to last while the text holds their
// marker in capitals. One prompt (or lookup) answers every copy of a token then in the text,
// in any case; a copy that an answer or body brings in later is asked for again.
//
// Tokens that cannot be filled in stay in the text as written: a free-text field without a
// prompt, a "^^INPUT:" without a closing "^^", an "%INCLUDE:" without a closing "%". A token
// never reaches past the end of the answer or included body it stands in.
//
// Includes nest up to MaxIncludeDepth bodies deep. An include of a Hotword that is already
// being included, or one nested deeper, is replaced by a note instead of the body. So is one
// that would take the included text, counting every copy and every note, past
// MaxIncludedLength characters; the includes still left after it then stay as written, as
// does one for which not even the note fits.
//
// Raises Abort when the user cancels a prompt; errors of the sources pass through.
QString ExpandTokens(const QString& text, const TokenSources& sources);

inline constexpr int MaxIncludeDepth = 32;
inline constexpr qsizetype MaxIncludedLength = qsizetype(8) * 1024 * 1024;
