#include "cli/cli_texts.h"

#include <cstdlib>

namespace brim::cli {

namespace {

struct Phrase {
  std::string_view key;
  const char* english;
  const char* japanese;
};

constexpr Phrase kReasons[] = {
    {"done", "done", "完了しました"},
    {"nothing_selected", "no entry selected; nothing to do", "選択されたエントリがありません"},
    {"usage", "usage error", "使い方の誤りです"},
    {"cannot_open", "the file cannot be opened", "ファイルを開けません"},
    {"cannot_create", "a file cannot be created", "ファイルを作成できません"},
    {"cannot_write", "a file cannot be written", "ファイルに書き込めません"},
    {"cannot_read", "the file cannot be read", "ファイルを読み込めません"},
    {"output_exists", "the output's name is taken; nothing was written",
     "出力先の名前が既に使われているため出力しませんでした"},
    {"error", "failed", "失敗しました"},
    {"not_an_archive", "not an archive", "書庫ではありません"},
    {"damaged_zip", "a damaged ZIP archive; refused", "破損zipのため処理しませんでした"},
    {"damaged_lzh", "a damaged LZH archive; refused", "破損lzhのため処理しませんでした"},
    {"lzh_and_zip", "both an LZH and a ZIP archive; refused", "LZHとZIPの両方として読めるため処理しませんでした"},
    {"not_analysed", "not analysed; refused", "解析されていないため処理しませんでした"},
    {"too_large", "too large to handle (4 GiB or more)", "ファイルサイズが大きすぎて扱えません"},
    {"changed_since_analysis", "the file changed since it was analysed; refused",
     "解析後に変更されたため処理しませんでした"},
    {"names_taken", "every output name is taken; refused", "出力先の名前がすべて使われています"},
    {"too_many_entries", "too many entries for one ZIP; refused", "ZIPに結合できるエントリ数を超えています"},
    {"refused", "refused", "処理しませんでした"},
    {"reanalysis_incomplete", "neutralised, but the new analysis is not complete",
     "書き換えましたが、再解析が完了しませんでした"},
    {"partly_done", "partly done: some selected entries could not be done",
     "一部のエントリを処理できませんでした"},
    {"interrupted", "interrupted", "中断しました"},
    {"undecodable", "a part whose body cannot be decoded one way", "本文を一通りに復号できない部分です"},
    {"encrypted_names", "an archive whose directory (the entry names) is encrypted",
     "エントリ名の一覧が暗号化された書庫です"},
    {"unexplained", "partly done: a part of the archive no reader view accounts for may hold a name",
     "どの展開ソフトの読み方でも説明できない部分があるため、安全とは言えません"},
};

}  // namespace

bool JapaneseLocale() {
  // The first of these that is set decides, as for the C library's messages.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return std::string_view(value).substr(0, 2) == "ja";
  }
  return false;
}

std::string CliText(CliTextId id) {
  const bool ja = JapaneseLocale();
  switch (id) {
    case CliTextId::OutputUnwritable:
      return ja ? "標準出力に書き込めませんでした" : "the output could not be written";
    case CliTextId::StandardInputUnreadable:
      return ja ? "標準入力を読み込めません" : "standard input cannot be read";
    case CliTextId::NothingTicked:
      return ja ? "チェックの付いた項目がないため、何も書き出しませんでした" : "no entry is ticked; nothing was written";
    case CliTextId::UsageHint:
      return ja ? "使い方: brimlode-cli analyse|rewrite|split|combine 書庫... [オプション] | mail [入力 [出力]]  (brimlode-cli --help)"
                : "usage: brimlode-cli analyse|rewrite|split|combine ARCHIVE... [options] | mail [IN [OUT]]  (brimlode-cli --help)";
    case CliTextId::WouldNeutralise:
      return ja ? "試行: 無害化します: " : "dry run: would neutralise ";
    case CliTextId::WouldCreate:
      return ja ? "試行: 作成します: " : "dry run: would create ";
    case CliTextId::MailCannotRead:
      return ja ? "メッセージを読み込めません" : "the message cannot be read";
    case CliTextId::MailRejected:
      return ja ? "安全にできない添付ファイルがあるため拒否しました: " : "refused: an attachment cannot be made safe: ";
    case CliTextId::NoSuchRow:
    case CliTextId::DamagedNeutralised:
      break;
  }
  return "";
}

std::string CliText(CliTextId id, uint64_t a, uint64_t b) {
  if (id == CliTextId::DamagedNeutralised) {
    const std::string n = std::to_string(a);
    if (JapaneseLocale()) {
      return std::string(b ? "破損lzh" : "破損zip") + "です。一覧にあった " + n +
             " 個のエントリを無害化しました（読み取れなかった部分はそのままです）";
    }
    return std::string("a damaged ") + (b ? "LZH" : "ZIP") + " archive: " + n + (a == 1 ? " entry" : " entries") +
           " of the listing neutralised; what could not be read is left as it is";
  }
  if (id != CliTextId::NoSuchRow) return CliText(id);
  const std::string row = std::to_string(a), rows = std::to_string(b);
  return JapaneseLocale() ? "--rows: 行 " + row + " はありません（一覧は " + rows + " 行、0 から数えます）"
                          : "--rows: there is no row " + row + " (the listing has " + rows + " rows, numbered from 0)";
}

std::string ReasonText(std::string_view reason) {
  const bool ja = JapaneseLocale();
  for (const Phrase& p : kReasons) {
    if (p.key == reason) return ja ? p.japanese : p.english;
  }
  return std::string(reason);
}

}  // namespace brim::cli
