// Every fixed text the program shows, logs or writes, in one place. They are
// written here once as UTF-8 and converted to CP932 when building
// (cmake/ui_texts_cp932.cpp); the rest of the program works with those CP932
// bytes. Add a text by adding a line.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#define BRIM_UI_TEXTS(X)                                                           \
  /* Window and message boxes. */                                                 \
  X(appTitle, "Brimlode")                                                         \
  X(aboutVersion, "Brimlode v0.40")                                               \
  X(aboutNotice, "ヘッダ水準の書庫ツール")                                       \
  X(aboutLink, "https://brimlode.example.org/")                                   \
  X(questionTitle, "確認")                                                        \
  X(buttonYes, "はい(&Y)")                                                        \
  X(buttonNo, "いいえ(&N)")                                                       \
  X(buttonOk, "OK")                                                               \
  X(buttonClose, "閉じる")                                                        \
  X(linkCannotOpen, "%s を開けるブラウザが見つかりません")                       \
  X(archiveFilter, "書庫 (*.zip *.lzh *.lha *.exe)")                              \
  X(allFilesFilter, "すべてのファイル (*)")                                       \
  /* Font names as Windows knows them (the window falls back to installed ones). */ \
  X(fontProportional, "ＭＳ Ｐゴシック")                                          \
  X(fontFixed, "ＭＳ ゴシック")                                                   \
  /* Controls and menus. */                                                       \
  X(browse, "参照")                                                               \
  X(abort, "中断")                                                                \
  X(containedExtensions, "含有拡張子")                                            \
  X(reflectToList, "(←)リストに反映!")                                           \
  X(menuAnalyse, "解析")                                                          \
  X(menuCheckMarks, "チェックマーク")                                             \
  X(menuCheckByExtension, "包含拡張子を持つファイルにチェックマークを付ける")     \
  X(menuCheckAll, "すべてにチェックマークを付ける")                               \
  X(menuUncheckAll, "すべてのチェックマークを外す")                               \
  X(menuInvertChecks, "チェックマークを反転させる")                               \
  X(menuRewrite, "書き換え")                                                      \
  X(menuRegenerate, "再生成")                                                     \
  X(menuSplit, "個別に生成")                                                      \
  X(menuCombine, "結合して生成")                                                  \
  X(menuLog, "ログ")                                                              \
  X(menuLogWrite, "出力")                                                         \
  X(menuLogClear, "クリア")                                                       \
  X(menuAbout, "バージョン情報")                                                  \
  /* Column headers. */                                                           \
  X(colFileName, "ファイル名")                                                    \
  X(colOffset, "Offset")                                                          \
  X(colStart, "Start")                                                            \
  X(colSize, "Size")                                                              \
  X(colExt, "Ext")                                                                \
  X(colExtI, "Ext(I)")                                                            \
  X(colOffsetI, "Offset(I)")                                                      \
  X(colRatio, "率")                                                               \
  X(colCompress, "Compress")                                                      \
  X(colOriginal, "Original")                                                      \
  X(colPath, "パス名")                                                            \
  X(colExtension, "拡張子")                                                       \
  X(colCount, "数")                                                               \
  /* Status panel 0. */                                                           \
  X(analysed, "解析済み")                                                         \
  X(aborted, "中断しました")                                                      \
  X(damagedZip, "破損zipです")                                                    \
  X(damagedLzh, "破損lzhです")                                                    \
  /* Plain message boxes. */                                                      \
  X(notAnalysed, "解析されていません")                                            \
  X(nothingChecked, "チェックが付いていません")                                   \
  X(noLogFileName, "ファイル名が設定されていません")                              \
  X(fileTooLarge, "ファイルサイズが大きすぎて扱えません。")                       \
  X(allReCreateNamesTaken, "(ReCreate00)から(ReCreate99)までの名前がすべて使われています") \
  X(tooManyEntriesForZip, "ZIPに結合できるのは65535個までです")                   \
  X(outOfMemory, "メモリが不足しています")                                        \
  /* Error boxes ("%s" is a path or the parsed text). */                          \
  X(fileCannotOpen, "ファイル %s は開けません")                                   \
  X(fileCannotCreate, "ファイル %s を作成できません")                             \
  X(fileCannotWrite, "ファイル %s に書き込めません")                              \
  X(fileCannotRead, "ファイル %s を読み込めません")                               \
  X(notAnInteger, "'%s' は整数ではありません")                                    \
  /* Log pane. */                                                                 \
  X(logSeparator, "---")                                                          \
  X(logLeadingBytes, "ファイル先頭%dバイトにZIPに関係ないデータがあります")       \
  X(logDamagedBefore, "圧縮データは完全ではありませんが、(")                      \
  X(logDamagedAfter, ")というファイル名を検出しました。")                         \
  X(logFileSuffixZip, "(Unzip).log")                                              \
  X(logFileSuffixLzh, "(UnLha).log")                                              \
  X(crcProgressStart, "CRC計算中 0%")                                             \
  X(crcProgress, "CRC計算中 %d%%")                                                \
  /* Rewrite. */                                                                  \
  X(confirmRewrite, "書き換えを実行します。よろしいですか？")                     \
  X(confirmReanalyse, "書き換えた内容を解析しますか？")                           \
  X(logWillRewrite, "の中身を書き換えます。")                                     \
  X(logZeroed, "を00で上書きしました。")                                          \
  X(logExtensionMasked, "の拡張子を変更しました。")                               \
  X(logHeaderRebuilt, "のヘッダを再生成しました。")                               \
  X(fileChangedSinceAnalysis, "ファイル %s は解析後に変更されています")          \
  X(analyseAgain, "。もう一度解析してください")                                  \
  /* Regeneration. */                                                             \
  X(logWriting, "を出力中")                                                       \
  X(logWritten, "を出力しました")                                                 \
  X(logSkippedExisting, "は既に存在するため出力しませんでした")                   \
  X(combining, "結合中 %d/%d")                                                    \
  /* ---- names ---- */                                                           \
  /* ---- lzh ---- */                                                             \
  X(logLeadingBytesLzh, "ファイル先頭%dバイトにLZHに関係ないデータがあります")    \
  X(rowHeaderDisagrees, "のヘッダが解析の結果と違うため書き換えませんでした")      \
  X(lzhAndZip, "LZHとZIPの両方として読めます")                                \
  /* ---- evasion ---- */                                                         \
  /* ---- rewrite ---- */                                                         \
  X(logRowNotDone, "は書き換えられませんでした（%s）")                            \
  X(logStoppedPartWay, "の上書きを途中で中断しました（名前は変更済み）")         \
  /* ---- damage ---- */                                                          \
  X(logNoEndRecord, "終端レコードがありません（ファイルが途中で切れています）")  \
  X(logDirectoryLater, "中央ディレクトリは終端レコードの示す位置より%dバイト後ろにありました") \
  X(logDirectoryEarlier, "中央ディレクトリは終端レコードの示す位置より%dバイト前にありました") \
  X(logEndRecordInComment, "使われる終端レコードが別の終端レコードのコメントの中にあります（読むプログラムによって中身が違います）") \
  X(logRewroteDamaged, "破損した書庫です。%d個のエントリを書き換えました（読み取れなかった部分はそのままです）") \
  X(panelRewroteDamaged, "破損: %d個を書き換えました")                           \
  X(reasonDataNotHere, "データがこのファイルにありません")                       \
  /* A rewritten entry inside another one's data: the outer one changed too. */ \
  X(logOuterEntryChanged, "を書き換えたため、これを含む%sの中身も変わりました。")  \
  /* ---- gateway ---- */                                                         \
  /* Why a file cannot be opened, after "ファイル %s は開けません". */           \
  X(reasonAfterText, "（%s）")                                                    \
  X(reasonNoSuchFile, "そのようなファイルはありません")                           \
  X(reasonIsAFolder, "フォルダです")                                              \
  X(reasonNotAFile, "通常のファイルではありません")                               \
  X(reasonPermissionDenied, "アクセスが拒否されました")                           \
  X(reasonNotAFolderOnTheWay, "途中の名前がフォルダではありません")               \
  X(reasonLocked, "他の書き換えが使用中です")                                     \
  X(reasonErrorNumber, "エラー番号 %d")                                           \
  /* ---- window ---- */                                                         \
  X(reasonReadOnly, "読み取り専用です")                                           \
  X(reasonDiskFull, "ディスクに空きがありません")                                 \
  X(reasonNoSuchFolder, "そのようなフォルダはありません")                         \
  X(reasonNameTaken, "同じ名前のファイルがあります")                              \
  X(reasonLinkOnTheWay, "途中にリンクがあります")                                 \
  X(listingOfAnotherFile, "この一覧は前のファイル %s のものです")                 \
  X(filterPlaceholder, "絞り込み: 名前の一部 または *.拡張子")                    \
  X(menuAnalyseOnSelect, "選んだファイルをすぐ解析する")                          \
  X(rowCheck, "チェック")                                                         \
  X(rowUncheck, "チェックを外す")                                                 \
  X(rowCopyName, "名前をコピー")                                                  \
  X(rowCopyNameCopies, "名前の写しをコピー")                                      \
  X(summaryEntries, "%s 件")                                                      \
  X(summaryShown, "%s / %s 件")                                                   \
  X(summaryChecked, "（チェック %s）")                                            \
  X(summarySizes, "圧縮 %s　元 %s")                                               \
  X(sizeBytes, "%s バイト")                                                       \
  /* ---- desktop ---- */                                                        \
  X(dangerousTip, "次の拡張子のエントリにチェックマークを付けます:")              \
  X(menuFile, "ファイル")                                                         \
  X(menuOpen, "開く...")                                                          \
  X(menuRecentFiles, "最近使ったファイル")                                        \
  X(menuRecentNone, "(なし)")                                                     \
  X(menuQuit, "終了")                                                             \
  X(fileTypeFolder, "フォルダー")                                                 \
  X(fileTypeDrive, "ドライブ")                                                    \
  X(fileTypeFile, "ファイル")                                                     \
  X(recentFileGone, "%s が見つからないため、最近使ったファイルから外しました")    \
  X(reCreateMark, "(ReCreate%.2d)")                                            \
  /* Row marks: tooltips and log lines. */                                        \
  X(markNamesDiffer, "名前の写しが食い違っています")                              \
  X(markNotInDirectory, "中央ディレクトリに載っていません")                       \
  X(markDirectoryOnly, "中央ディレクトリにだけ載っています")                      \
  X(markOverlap, "他のエントリと重なっています")                                  \
  X(markSeveralDirectories, "複数のディレクトリに載っています")                   \
  X(markHalfNeutralised, "書き換えが途中で止まっています")                        \
  X(markBidiControl, "名前に双方向制御文字があります")                            \
  X(markDoubleExtension, "拡張子が二重になっています")                            \
  X(markWindowsAltersName, "Windowsでは名前が変わります")                         \
  X(markNestedArchive, "書庫の中の書庫です")                                      \
  X(markEncrypted, "暗号化されています")                                          \
  X(markSizesLie, "サイズまたは圧縮方式が食い違っています")                       \
  X(markDataBetweenEntries, "エントリの後ろにどのエントリにも属さないデータがあります") \
  X(markDirectoryMoved, "中央ディレクトリが終端レコードの示す位置にありません")   \
  X(markUnexplained, "読み取れない部分があり、中身を確かめられません")             \
  /* A copy of a row's name that some extractors write instead of the shown one. */ \
  X(otherExtractorsWrite, "一部の展開ソフトでは「%s」という名前で書き出されます") \
  X(dangerousExtensions, "危険な拡張子")                                          \
  X(notAnArchive, "書庫ではありません")                                          \
  /* brimlode-cli mail: the text put where an attachment was taken out. */        \
  X(mailPartRemoved, "添付ファイル「%s」は安全にできないため取り除きました（理由: %s）。")

namespace brim {

struct UiTexts {
#define BRIM_UI_TEXT_MEMBER(name, utf8) std::string name;
  BRIM_UI_TEXTS(BRIM_UI_TEXT_MEMBER)
#undef BRIM_UI_TEXT_MEMBER
};

// The texts in CP932, as converted when building.
const UiTexts& Ui();

// Replaces the first "%s" of a CP932 format with arg, byte for byte (names may
// hold any byte, NUL included, so printf is not used for them).
std::string FormatText(std::string_view formatCp932, std::string_view arg);
// Replaces each "%d" in order with the next number and "%%" with "%".
std::string FormatNumbers(std::string_view formatCp932, int64_t a, int64_t b = 0);

}  // namespace brim
