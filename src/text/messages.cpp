#include "text/messages.h"

#ifndef TROLVANE_VERSION
#error "the build defines TROLVANE_VERSION"
#endif

namespace trolvane::msg {

const char* const kUsageScreen[kUsageLineCount] = {
    "",
    "マジックパケットを送信して、\"Wake on Lan\"に対応したＰＣの電源をＯＮにします。",
    "またパケットの送信後にICMP(Ping)を使用してホスト起動のチェックも行います。",
    "<注>このコマンドを実行するには、Administrator権限が必要です。",
    "",
    "Trolvane /m:MACｱﾄﾞﾚｽ /h:ﾎｽﾄｱﾄﾞﾚｽ {/p:ﾎﾟｰﾄ} {/s:ｻﾌﾞﾈｯﾄﾏｽｸﾋﾞｯﾄ数}",
    "",
    "  /m ... パケット送信先ホストのＭＡＣアドレスを指定します。",
    "  /h ... パケット送信先ホストのＩＰアドレスを指定します。",
    "  /p ... パケットの送信に使用するポート番号を指定します。",
    "  /s ... パケット送信先ホストのサブネットマスクのビット数を指定します。",
    "  ※1 /sオプションはマジックパケットをブロードキャストするために使用しています。",
    "  ※2 パケット送信先ホストがスイッチングハブに接続されている場合は、ブロードキャストする必要があります。",
    "",
    "<sample1> Trolvane.exe /m:01-02-03-04-05-06 /h:192.168.0.130",
    "<sample2> Trolvane.exe /m:01-02-03-04-05-06 /h:192.168.0.25 /s:24",
    "",
    ("Trolvane Version " TROLVANE_VERSION),
    "",
};

const char* const kTooFewArguments = "引数が足りません。";
const char* const kUnexpectedError = "予期していない例外が発生しました。";
const char* const kWriteFailed = "標準出力への書き込みに失敗しました。";
const char* const kNotInteger = "'%s' は整数ではありません";
const char* const kMacAddressError = "MACアドレスの処理中にエラーが発生しました。";
const char* const kSendFailed = "マジックパケットの送信処理に失敗しました。";
const char* const kBadHostAddress = "ホストアドレス(/hｽｲｯﾁの指定値)が不正です。";
const char* const kBootConfirmedBefore = "ホスト(";
const char* const kBootConfirmedAfter = ")の起動を確認しました。";
const char* const kBootPingTimeout = "ホストの起動を確認できませんでした。(Pingタイムアウト)";
const char* const kBootPingError = "ホストの起動を確認できませんでした。(Pingエラー)";

}  // namespace trolvane::msg
