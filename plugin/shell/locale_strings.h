// Globals, localised strings: the host's locale identifier picks a block of the string table, from
// which the title, the caption (also the title of every message box) and the two completion
// messages are loaded into the component state.
#pragma once

#include <cstdint>
#include <string>

namespace imp_kzv {

// Sets the language base index (200 for the identifier 407 decimal, 100 for every other value) and
// reloads all texts. A failure is passed on with one more trace line; the base index stays set.
void SetLangBaseIndxBasedOnLCID(std::int32_t lcid);

// Reloads title, caption, application title and both completion messages for the current base index.
// A failure is passed on with one more trace line; texts loaded before it keep their new values.
void SetAllLocaleStrings();

// The text of id from the string table. For an id the table lacks, reports
// "<caption>: Error while loading LocaleStringResource: <description>" to the host as an error message
// (kind 1) and returns an empty text; only a failure of that report goes further.
std::string LoadLocaleString(std::int32_t id);

}  // namespace imp_kzv
