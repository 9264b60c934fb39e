// The texts of the scenes: "／" breaks a line, "￥" breaks it and waits for a button.
// A line holds at most 14 characters (a fifteenth would push the break onto a line
// of its own), and a page at most four lines (the window's fifth holds the "▽").
#include "events/scenes.h"

namespace ardo::scenes {

std::string OpeningMonologue() {
  static const char* const kPieces[] = {
      "さいはての村。／世界の端っこの、／小さな村。￥北の空には、／てっぺんが雲にかくれた／高い山がある。￥",
      "あの山のてっぺんには、／まだだれも／行ったことがない。￥／子どものころから、／毎日あの山を見ていた。￥",
      "雨の日も、風の日も、／ばあちゃんにしかられた／日も。￥",
      "てっぺんには／何があるんだろう。￥空に手がとどくのかな。／神さまが昼寝を／しているのかな。￥",
      "／ばあちゃんは言う。／「あんな山に登るなんて、／　ばかのすることだよ」￥・・・ひどい。￥",
      "でも、ゆうべ、／こっそり袋に／薬草を入れてくれた。￥／ありがとう、／ばあちゃん。￥",
      "／長い雨が、／やっとあがった。￥空はぴかぴか。￥ぐっすり眠れたし、／気分もいい。￥",
      "／ねこが門まで／ついてきた。／見送りかい？￥にゃあ。￥",
      "／行くなら、今日だ。￥この門を出たら、／もう、／あとには引けない。￥",
      "／・・・いや、／おなかがすいたら、／ちょっと帰ってくるかも。￥",
      "／それでも、／ぼくは行く。￥／あの山のてっぺんへ。／だれも見たことのない／景色を見に。￥",
      "／よし、／行ってきます！￥",
  };
  std::string text;
  for (const char* piece : kPieces) text += piece;
  return text;
}

const char* const kHerbNarration =
    "天井の割れ目から、／光がさしこんでいる。￥"
    "光の下には、／ヒグラシ草が一面に／しげっていた。￥"
    "あまい香りがする。／村で使う薬草は、／ここで育ったものらしい。￥"
    "草むらのまん中に、／一輪だけ、／白い花が咲いている。￥"
    "花は光をあびて、／静かにゆれている。／なんだか、がんばれと／言われた気がした。￥";

const char* const kBombShopGreeting = "いらっしゃい！／爆弾屋へようこそ。／店内、火気厳禁だよ！￥";

const char* const kTreeInscription =
    "何かかいてある・・・￥"
    "「お宝を見つけても、／　そこで満足するな。／　まことの宝は、／　その先に眠っている」￥";

}  // namespace ardo::scenes
