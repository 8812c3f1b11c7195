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
    "  ※2 "
    "パケット送信先ホストがスイッチングハブに接続されている場合は、ブロードキャストする必要がありま"
    "す。",
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
const char* const kBadMaskBits = "サブネットマスク(/sｽｲｯﾁの指定値)が不正です。";
const char* const kBadProbePorts = "確認ポート(/cｽｲｯﾁの指定値)が不正です。";
const char* const kBootConfirmedBefore = "ホスト(";
const char* const kBootConfirmedAfter = ")の起動を確認しました。";

const char* const kListUnreadable = "ホスト一覧(%s)を読み込めませんでした。";
const char* const kListEmpty = "ホスト一覧(%s)にホストがありません。";
const char* const kListBadLine = "ホスト一覧(%s)の%s行目が不正です。";
const char* const kListFieldCount =
    "MACアドレスとホストアドレス(とサブネットマスクのビット数)を指定してください。";
const char* const kListMaskBits = "サブネットマスクのビット数は0から32で指定してください。";
const char* const kListControlCharacter = "制御文字を含んでいます。";
const char* const kHostNotConfirmed = "ホスト(%s)の起動を確認できませんでした。";
const char* const kPingTimeoutReason = "(Pingタイムアウト)";
const char* const kPingErrorReason = "(Pingエラー)";
const char* const kListSummary = "%s台中%s台の起動を確認しました。";

const char* const kBadMacCheck = "MAC確認(/vｽｲｯﾁの指定値)が不正です。";
const char* const kBadSendCount = "再送回数(/rｽｲｯﾁの指定値)が不正です。";
const char* const kBadOutputFormat = "出力形式(/oｽｲｯﾁの指定値)が不正です。";
const char* const kBootNotConfirmed = "ホストの起動を確認できませんでした。";
const char* const kAnotherMachineReason = "(別の機器(%s)が応答)";

const char* const kBadLearnRange = "学習範囲(/lｽｲｯﾁの指定値)が不正です。";
const char* const kLearnComment = "# %s で応答した機器 %s台 (%s)";
const char* const kLearnUnasked = "学習範囲(%s)の%s個のアドレスに問い合わせできませんでした。";
const char* const kLearnUnrouted = "学習範囲(%s)の%s個のアドレスへの経路を読み取れませんでした。";

const char* const kProgressChecking = "起動確認中";
const char* const kProgressHosts = "%s/%s台";
const char* const kProgressRemaining = "残り%s秒";
const char* const kProgressElapsed = "経過%s秒";
const char* const kProgressLearning = "学習中";

}  // namespace trolvane::msg
