# Writes OUT, a C++ file that holds the game's words as they are written in
# assets/words/ (words.txt, en/words.txt, en/names.txt), so the program always has them.
set(body "// Written by the build from assets/words/: edit those files, not this one.\nnamespace ardo {\n")
foreach(pair "kWordsJapanese;words.txt" "kWordsEnglish;en/words.txt" "kNamesEnglish;en/names.txt")
  list(GET pair 0 name)
  list(GET pair 1 file)
  file(READ ${WORDS_DIR}/${file} text)
  string(APPEND body "extern const char* const ${name};\nconst char* const ${name} = R\"ardowords(${text})ardowords\";\n")
endforeach()
string(APPEND body "}  // namespace ardo\n")
file(WRITE ${OUT}.tmp "${body}")
file(COPY_FILE ${OUT}.tmp ${OUT} ONLY_IF_DIFFERENT)
