#include <cstdio>

#include "engine/narvo_engine.h"
#include "helpers/output.h"
#include "helpers/text.h"
#include "helpers/vastel.h"
#include "platform/platform.h"

namespace narvo {

namespace {

// テキストファイルから、複数の検索文字列がAND条件で含む行を抽出し、標準出力する
constexpr const char* kIntro1 =
    "\x83\x65\x83L\x83X\x83g\x83t\x83@"
    "\x83\x43\x83\x8b\x82\xa9\x82\xe7\x81\x41\x95\xa1\x90\x94\x82\xcc\x8c\x9f\x8d\xf5\x95\xb6\x8e"
    "\x9a\x97\xf1\x82\xaa\x41ND\x8f\xf0\x8c\x8f\x82\xc5\x8a\xdc\x82\xde\x8ds\x82\xf0\x92\x8a\x8fo"
    "\x82\xb5\x81\x41\x95W\x8f\x80\x8fo\x97\xcd\x82\xb7\x82\xe9";
// （本来の用途は郵便番号検索ですが、不器用なFINDコマンドとしても使えます）
constexpr const char* kIntro2 =
    "\x81i\x96{"
    "\x97\x88\x82\xcc\x97p\x93r\x82\xcd\x97X\x95\xd6\x94\xd4\x8d\x86\x8c\x9f\x8d\xf5\x82\xc5\x82"
    "\xb7\x82\xaa\x81\x41\x95s\x8a\xed\x97p\x82\xc8\x46IND\x83R\x83}"
    "\x83\x93\x83h\x82\xc6\x82\xb5\x82\xc4\x82\xe0\x8eg\x82\xa6\x82\xdc\x82\xb7\x81j";
//  [/?[?]] | [/V] [/W[0123]] [/Fファイル名] [/S]
constexpr const char* kUsageSwitches =
    " [/?[?]] | [/V] [/W[0123]] [/F\x83t\x83@\x83\x43\x83\x8b\x96\xbc] [/S]";
//  [/C数字]
constexpr const char* kUsageCopy = " [/C\x90\x94\x8e\x9a]";
//  検索文字列[ . . .]
constexpr const char* kUsageTerms = " \x8c\x9f\x8d\xf5\x95\xb6\x8e\x9a\x97\xf1[ . . .]";
//  [/??]          より詳細な使い方を表示する。
constexpr const char* kLongHelpHint =
    " [/??]          "
    "\x82\xe6\x82\xe8\x8f\xda\x8d\xd7\x82\xc8\x8eg\x82\xa2\x95\xfb\x82\xf0\x95\x5c\x8e\xa6\x82\xb7"
    "\x82\xe9\x81\x42";
//  [/?]           簡単な使い方と、バージョン、作者情報を表示する。
constexpr const char* kShortHelp =
    " [/?]           "
    "\x8a\xc8\x92P\x82\xc8\x8eg\x82\xa2\x95\xfb\x82\xc6\x81\x41\x83o\x81["
    "\x83W\x83\x87\x83\x93\x81\x41\x8d\xec\x8e\xd2\x8f\xee\x95\xf1\x82\xf0\x95\x5c\x8e\xa6\x82\xb7"
    "\x82\xe9\x81\x42";
//                 [-?] [+?]でも同じ処理を行い、他のパラメータは無視する。
constexpr const char* kShortHelpForms =
    "                [-?] "
    "[+?]"
    "\x82\xc5\x82\xe0\x93\xaf\x82\xb6\x8f\x88\x97\x9d\x82\xf0\x8ds\x82\xa2\x81\x41\x91\xbc\x82\xcc"
    "\x83p\x83\x89\x83\x81\x81[\x83^\x82\xcd\x96\xb3\x8e\x8b\x82\xb7\x82\xe9\x81\x42";
//                 さらに詳しい説明は、
constexpr const char* kManualBefore =
    "                "
    "\x82\xb3\x82\xe7\x82\xc9\x8f\xda\x82\xb5\x82\xa2\x90\xe0\x96\xbe\x82\xcd\x81\x41";
// 参照のこと。
constexpr const char* kManualAfter = "\x8eQ\x8f\xc6\x82\xcc\x82\xb1\x82\xc6\x81\x42";
//  [/V]           検索文字列がひとつも含まない行を出力対象とする。
constexpr const char* kExclude =
    " [/V]           "
    "\x8c\x9f\x8d\xf5\x95\xb6\x8e\x9a\x97\xf1\x82\xaa\x82\xd0\x82\xc6\x82\xc2\x82\xe0\x8a\xdc\x82"
    "\xdc\x82\xc8\x82\xa2\x8ds\x82\xf0\x8fo\x97\xcd\x91\xce\x8f\xdb\x82\xc6\x82\xb7\x82\xe9\x81"
    "\x42";
//  [/W[0123]]     検索文字列に、ダブルクォーテーションを付加する。
constexpr const char* kQuote =
    " [/W[0123]]     "
    "\x8c\x9f\x8d\xf5\x95\xb6\x8e\x9a\x97\xf1\x82\xc9\x81\x41\x83_\x83u\x83\x8b\x83N\x83H\x81["
    "\x83\x65\x81[\x83V\x83\x87\x83\x93\x82\xf0\x95t\x89\xc1\x82\xb7\x82\xe9\x81\x42";
//                   0:このパラメータを無効とする
constexpr const char* kQuote0 =
    "                  "
    "0:\x82\xb1\x82\xcc\x83p\x83\x89\x83\x81\x81[\x83^"
    "\x82\xf0\x96\xb3\x8c\xf8\x82\xc6\x82\xb7\x82\xe9";
//                   1:文字列の前後に付加
constexpr const char* kQuote1 =
    "                  1:\x95\xb6\x8e\x9a\x97\xf1\x82\xcc\x91O\x8c\xe3\x82\xc9\x95t\x89\xc1";
//                   2:文字列の前のみに付加
constexpr const char* kQuote2 =
    "                  "
    "2:\x95\xb6\x8e\x9a\x97\xf1\x82\xcc\x91O\x82\xcc\x82\xdd\x82\xc9\x95t\x89\xc1";
//                   3:文字列の後にのみ付加
constexpr const char* kQuote3 =
    "                  "
    "3:\x95\xb6\x8e\x9a\x97\xf1\x82\xcc\x8c\xe3\x82\xc9\x82\xcc\x82\xdd\x95t\x89\xc1";
//                   数字を省略すると上記
constexpr const char* kQuoteDefaultBefore =
    "                  "
    "\x90\x94\x8e\x9a\x82\xf0\x8f\xc8\x97\xaa\x82\xb7\x82\xe9\x82\xc6\x8f\xe3\x8bL";
// と解する。
constexpr const char* kQuoteDefaultAfter = "\x82\xc6\x89\xf0\x82\xb7\x82\xe9\x81\x42";
//  [/Fファイル名] 検索するファイルを指定する。
constexpr const char* kFile =
    " [/F\x83t\x83@\x83\x43\x83\x8b\x96\xbc] "
    "\x8c\x9f\x8d\xf5\x82\xb7\x82\xe9\x83t\x83@"
    "\x83\x43\x83\x8b\x82\xf0\x8ew\x92\xe8\x82\xb7\x82\xe9\x81\x42";
//                 デフォルトの対象ファイルは、以下の優先順位で決定される。
constexpr const char* kOrder =
    "                "
    "\x83\x66\x83t\x83H\x83\x8b\x83g\x82\xcc\x91\xce\x8f\xdb\x83t\x83@"
    "\x83\x43\x83\x8b\x82\xcd\x81\x41\x88\xc8\x89\xba\x82\xcc\x97\x44\x90\xe6\x8f\x87\x88\xca\x82"
    "\xc5\x8c\x88\x92\xe8\x82\xb3\x82\xea\x82\xe9\x81\x42";
//                     1. カレントフォルダ
constexpr const char* kOrder1 =
    "                    1. \x83J\x83\x8c\x83\x93\x83g\x83t\x83H\x83\x8b\x83_";
//                       1-1. 実行ファイルの拡張子を.csvとしたファイル
constexpr const char* kOrder11 =
    "                      1-1. "
    "\x8e\xc0\x8ds\x83t\x83@\x83\x43\x83\x8b\x82\xcc\x8ag\x92\xa3\x8eq\x82\xf0."
    "csv\x82\xc6\x82\xb5\x82\xbd\x83t\x83@\x83\x43\x83\x8b";
//                       1-2. 実行ファイルの拡張子を.txtとしたファイル
constexpr const char* kOrder12 =
    "                      1-2. "
    "\x8e\xc0\x8ds\x83t\x83@\x83\x43\x83\x8b\x82\xcc\x8ag\x92\xa3\x8eq\x82\xf0."
    "txt\x82\xc6\x82\xb5\x82\xbd\x83t\x83@\x83\x43\x83\x8b";
//                     2. 実行ファイルと同じフォルダ
constexpr const char* kOrder2 =
    "                    2. "
    "\x8e\xc0\x8ds\x83t\x83@\x83\x43\x83\x8b\x82\xc6\x93\xaf\x82\xb6\x83t\x83H\x83\x8b\x83_";
//                       2-1. 実行ファイルの拡張子を.csvとしたファイル
constexpr const char* kOrder21 =
    "                      2-1. "
    "\x8e\xc0\x8ds\x83t\x83@\x83\x43\x83\x8b\x82\xcc\x8ag\x92\xa3\x8eq\x82\xf0."
    "csv\x82\xc6\x82\xb5\x82\xbd\x83t\x83@\x83\x43\x83\x8b";
//                       2-2. 実行ファイルの拡張子を.txtとしたファイル
constexpr const char* kOrder22 =
    "                      2-2. "
    "\x8e\xc0\x8ds\x83t\x83@\x83\x43\x83\x8b\x82\xcc\x8ag\x92\xa3\x8eq\x82\xf0."
    "txt\x82\xc6\x82\xb5\x82\xbd\x83t\x83@\x83\x43\x83\x8b";
//                       2-3. KEN_ALL.CSV
constexpr const char* kOrder23 = "                      2-3. KEN_ALL.CSV";
//  [/S]           検索対象を標準入力とする。
constexpr const char* kStdin =
    " [/S]           "
    "\x8c\x9f\x8d\xf5\x91\xce\x8f\xdb\x82\xf0\x95W\x8f\x80\x93\xfc\x97\xcd\x82\xc6\x82\xb7\x82\xe9"
    "\x81\x42";
//                 このパラメータが指定されたときは、/Fを無視する。
constexpr const char* kStdinNote =
    "                "
    "\x82\xb1\x82\xcc\x83p\x83\x89\x83\x81\x81[\x83^"
    "\x82\xaa\x8ew\x92\xe8\x82\xb3\x82\xea\x82\xbd\x82\xc6\x82\xab\x82\xcd\x81\x41/"
    "F\x82\xf0\x96\xb3\x8e\x8b\x82\xb7\x82\xe9\x81\x42";
//  [/C数字]       CSV形式で、数字番目の内容をクリップボードにコピーする。
constexpr const char* kCopy =
    " [/C\x90\x94\x8e\x9a]       "
    "CSV\x8c`"
    "\x8e\xae\x82\xc5\x81\x41\x90\x94\x8e\x9a\x94\xd4\x96\xda\x82\xcc\x93\xe0\x97\x65\x82\xf0\x83N"
    "\x83\x8a\x83\x62\x83v\x83{\x81[\x83h\x82\xc9\x83R\x83s\x81[\x82\xb7\x82\xe9\x81\x42";
//                 CSVの項目以上の数を指定した場合は、１行すべてをコピーします。
constexpr const char* kCopyWhole =
    "                "
    "CSV\x82\xcc\x8d\x80\x96\xda\x88\xc8\x8f\xe3\x82\xcc\x90\x94\x82\xf0\x8ew\x92\xe8\x82\xb5\x82"
    "\xbd\x8f\xea\x8d\x87\x82\xcd\x81\x41\x82P\x8ds\x82\xb7\x82\xd7\x82\xc4\x82\xf0\x83R\x83s\x81["
    "\x82\xb5\x82\xdc\x82\xb7\x81\x42";
//                 検索結果が複数の時は、最後に見つかったレコードの値となる。
constexpr const char* kCopyLast =
    "                "
    "\x8c\x9f\x8d\xf5\x8c\x8b\x89\xca\x82\xaa\x95\xa1\x90\x94\x82\xcc\x8e\x9e\x82\xcd\x81\x41\x8d"
    "\xc5\x8c\xe3\x82\xc9\x8c\xa9\x82\xc2\x82\xa9\x82\xc1\x82\xbd\x83\x8c\x83R\x81["
    "\x83h\x82\xcc\x92l\x82\xc6\x82\xc8\x82\xe9\x81\x42";
//                 デフォルトは
constexpr const char* kCopyDefaultBefore =
    "                \x83\x66\x83t\x83H\x83\x8b\x83g\x82\xcd";
// で、郵便番号(7桁)を指す)。
constexpr const char* kCopyDefaultAfter =
    "\x82\xc5\x81\x41\x97X\x95\xd6\x94\xd4\x8d\x86(7\x8c\x85)\x82\xf0\x8ew\x82\xb7)\x81\x42";
//                 また、0を指定するとコピーしません。
constexpr const char* kCopyZero =
    "                "
    "\x82\xdc\x82\xbd\x81\x41\x30\x82\xf0\x8ew\x92\xe8\x82\xb7\x82\xe9\x82\xc6\x83R\x83s\x81["
    "\x82\xb5\x82\xdc\x82\xb9\x82\xf1\x81\x42";
//  検索文字列     検索するキーワードを半角スペース区切りで指定する。
constexpr const char* kTerms =
    " \x8c\x9f\x8d\xf5\x95\xb6\x8e\x9a\x97\xf1     "
    "\x8c\x9f\x8d\xf5\x82\xb7\x82\xe9\x83L\x81[\x83\x8f\x81["
    "\x83h\x82\xf0\x94\xbc\x8ap\x83X\x83y\x81["
    "\x83X\x8b\xe6\x90\xd8\x82\xe8\x82\xc5\x8ew\x92\xe8\x82\xb7\x82\xe9\x81\x42";
//                 関係urlに、デフォルトのブラウザでアクセスする
constexpr const char* kPages =
    "                "
    "\x8a\xd6\x8cWurl\x82\xc9\x81\x41\x83\x66\x83t\x83H\x83\x8b\x83g\x82\xcc\x83u\x83\x89\x83\x45"
    "\x83U\x82\xc5\x83\x41\x83N\x83Z\x83X\x82\xb7\x82\xe9";
// ：日本郵政公社の郵便番号等のダウンロードにアクセス
constexpr const char* kPageZip =
    "\x81\x46\x93\xfa\x96{"
    "\x97X\x90\xad\x8c\xf6\x8e\xd0\x82\xcc\x97X\x95\xd6\x94\xd4\x8d\x86\x93\x99\x82\xcc\x83_"
    "\x83\x45\x83\x93\x83\x8d\x81[\x83h\x82\xc9\x83\x41\x83N\x83Z\x83X";
// ：Vectorでの最新版公開サイトにアクセス
constexpr const char* kPageNew =
    "\x81\x46Vector\x82\xc5\x82\xcc\x8d\xc5\x90V\x94\xc5\x8c\xf6\x8aJ\x83T\x83\x43\x83g\x82\xc9\x83"
    "\x41\x83N\x83Z\x83X";
// ：作者のWEBサイトにアクセス
constexpr const char* kPageAuthor =
    "\x81\x46\x8d\xec\x8e\xd2\x82\xccWEB\x83T\x83\x43\x83g\x82\xc9\x83\x41\x83N\x83Z\x83X";
// ：作者にメールを送る
constexpr const char* kPageMail =
    "\x81\x46\x8d\xec\x8e\xd2\x82\xc9\x83\x81\x81[\x83\x8b\x82\xf0\x91\x97\x82\xe9";
// ※ 現在のデフォルトファイルは存在しません
constexpr const char* kNoDefault =
    "\x81\xa6 "
    "\x8c\xbb\x8d\xdd\x82\xcc\x83\x66\x83t\x83H\x83\x8b\x83g\x83t\x83@"
    "\x83\x43\x83\x8b\x82\xcd\x91\xb6\x8d\xdd\x82\xb5\x82\xdc\x82\xb9\x82\xf1";
// ※ 現在のデフォルトファイルは、更新日時
constexpr const char* kDefaultBefore =
    "\x81\xa6 "
    "\x8c\xbb\x8d\xdd\x82\xcc\x83\x66\x83t\x83H\x83\x8b\x83g\x83t\x83@"
    "\x83\x43\x83\x8b\x82\xcd\x81\x41\x8dX\x90V\x93\xfa\x8e\x9e";
// の
constexpr const char* kDefaultAfter = "\x82\xcc";

constexpr const char* kUText = " [/U[zip|new|kesri|mail]]";
constexpr const char* kVersion = "1.7";
constexpr const char* kCopyright = " Copyright (C) 2026 the narvo developers";
constexpr const char* kAddressIndent = "                   ";  // 19 spaces

// Which screens a row belongs to.
enum Screens : unsigned {
  Minimal = 1,
  Short = 2,
  Long = 4,
  All = Minimal | Short | Long,
  ShortLong = Short | Long,
};

// The screen being written and whether the /C rows belong on it.
unsigned screen = Minimal;
bool clipboardRows = false;

// Writes a row of the program's own text (Shift-JIS) when it belongs on the screen.
void Row(unsigned screens, const std::string& shiftJisText) {
  if (screens & screen) WriteLine(ConsoleText(shiftJisText));
}

// Writes a row whose text is already in the console's encoding (paths, names).
void RawRow(unsigned screens, const std::string& text) {
  if (screens & screen) WriteLine(text);
}

void CopyRow(unsigned screens, const std::string& shiftJisText) {
  if (clipboardRows) Row(screens, shiftJisText);
}

std::string InQuotes(const std::string& text) {
  return '"' + text + '"';
}

void DefaultFileStatus() {
  const std::string path = DefaultTargetFile();
  Row(ShortLong, "");
  platform::LocalTime t;
  if (path.empty() || !platform::FileExists(path, &t)) {
    Row(ShortLong, kNoDefault);
    return;
  }
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d  %02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute);
  Row(ShortLong, std::string(kDefaultBefore) + InQuotes(stamp) + kDefaultAfter);
  RawRow(ShortLong, path);
}

}  // namespace

void ShowHelpScreen() {
  SearchState& s = State();
  switch (s.helpKind) {
    case HelpRequestKind::LongSwitch:
      screen = Long;
      break;
    case HelpRequestKind::NoParameters:
      screen = Minimal;
      break;
    default:
      screen = Short;
      break;
  }
  clipboardRows = s.edition == Edition::Clipboard;
  const std::string base = ProgramBaseName();
  const std::string programFile = FileName(Param(0));
  s.exeStem = ChangeExtension(programFile, "");
  // The stem is console text; the rest of the usage line is the program's own.
  std::string usageTail = kUsageSwitches;
  if (clipboardRows) usageTail += kUsageCopy;
  usageTail += kUsageTerms;
  s.usageLine = s.exeStem + ConsoleText(usageTail);
  const std::string uLine = s.exeStem + kUText;

  Row(All, "");
  Row(All, kIntro1);
  Row(All, kIntro2);
  Row(All, "");
  RawRow(All, s.usageLine);
  RawRow(Long, uLine);
  Row(Short, "");
  Row(Short, kLongHelpHint);
  Row(Long, "");
  Row(Long, kShortHelp);
  Row(Long, kShortHelpForms);
  Row(Long, std::string(kManualBefore) + InQuotes(base + "17.txt") + kManualAfter);
  Row(Long, "");
  Row(ShortLong, kExclude);
  Row(Long, "");
  Row(ShortLong, kQuote);
  Row(Long, kQuote0);
  Row(Long, kQuote1);
  Row(Long, kQuote2);
  Row(Long, kQuote3);
  Row(Long, std::string(kQuoteDefaultBefore) + InQuotes("1") + kQuoteDefaultAfter);
  Row(Long, "");
  Row(ShortLong, kFile);
  Row(Long, kOrder);
  Row(Long, kOrder1);
  Row(Long, kOrder11);
  Row(Long, kOrder12);
  Row(Long, kOrder2);
  Row(Long, kOrder21);
  Row(Long, kOrder22);
  Row(Long, kOrder23);
  Row(Long, "");
  Row(ShortLong, kStdin);
  Row(Long, kStdinNote);
  Row(Long, "");
  CopyRow(ShortLong, kCopy);
  CopyRow(Long, kCopyWhole);
  CopyRow(Long, kCopyLast);
  CopyRow(Long,
          std::string(kCopyDefaultBefore) + "3 (" + InQuotes("KEN_ALL.CSV") + kCopyDefaultAfter);
  CopyRow(Long, kCopyZero);
  CopyRow(Long, "");
  Row(ShortLong, kTerms);
  Row(Long, "");
  Row(Long, kUText);
  Row(Long, kPages);
  Row(Long, "                  " + InQuotes("zip") + kPageZip);
  Row(Long, kAddressIndent + std::string(NARVO_URL_ZIP));
  Row(Long, "                  " + InQuotes("new") + kPageNew);
  Row(Long, kAddressIndent + std::string(NARVO_URL_NEW));
  Row(Long, "                  " + InQuotes("kesri") + kPageAuthor);
  Row(Long, kAddressIndent + std::string(NARVO_URL_AUTHOR));
  Row(Long, "                  " + InQuotes("mail") + kPageMail);
  Row(Long, kAddressIndent + std::string("mailto:") + NARVO_MAIL_AUTHOR);
  Row(Long, "");
  RawRow(Long, s.usageLine);
  RawRow(Long, uLine);
  if (screen != Minimal) DefaultFileStatus();
  Row(All, "");
  WriteBytes(InQuotes(base + ".exe") + " for command-prompt of WindowsXP");
  WriteLine(std::string("  version ") + kVersion);
  const std::string original = base + std::string(platform::ExecutableSuffix());
  if (LowerCase(programFile, ConsoleEncoding()) != LowerCase(original, ConsoleEncoding())) {
    RawRow(All, " ( " + InQuotes(programFile) + " is not original name )");
  }
  Row(All, kCopyright);
  FinishOutput();
  platform::ExitProcess(0);
}

}  // namespace narvo
