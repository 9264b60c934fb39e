// text/NAME.txt, the dialogue texts: the reader the game and ardo-textc share, and
// the check of every text as the message window would show it.
#include "events/events.h"
#include "fuzz/fuzz.h"
ARDO_FUZZ_TARGET(talk) {
  ardo::fuzz::Setup();
  const ardo::TalkTextFile texts = ardo::ParseTalkText(std::string(ardo::fuzz::Bytes(data, size)));
  for (const auto& [key, entry] : texts.entries) {
    (void)texts.Find(key);
    (void)ardo::CheckMessageText(entry.text, ardo::TextEnd::kAny);
  }
  ardo::fuzz::EndInput();
  return 0;
}
