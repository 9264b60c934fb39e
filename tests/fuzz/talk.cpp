// text/NAME.txt, the dialogue texts: the reader the game and ardo-textc share, and
// the check of every text as the message window would show it, in both languages.
#include "events/events.h"
#include "fuzz/fuzz.h"
ARDO_FUZZ_TARGET(talk) {
  ardo::fuzz::Setup();
  const std::string source(ardo::fuzz::Bytes(data, size));
  for (const ardo::Language language : {ardo::Language::kJapanese, ardo::Language::kEnglish}) {
    const ardo::TalkTextFile texts = ardo::ParseTalkText(source, language);
    for (const auto& [key, entry] : texts.entries) {
      (void)texts.Find(key);
      (void)ardo::CheckMessageText(entry.text, ardo::TextEnd::kAny, language);
    }
  }
  ardo::fuzz::EndInput();
  return 0;
}
