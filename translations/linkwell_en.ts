<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>AddLink</name>
    <message>
        <source>登録できないｱﾄﾞﾚｽです: %1</source>
        <translation>This address cannot be registered: %1</translation>
    </message>
</context>
<context>
    <name>BookmarkCommands</name>
    <message>
        <source>ﾌﾞｯｸﾏｰｸの取込</source>
        <translation>Import Bookmarks</translation>
    </message>
    <message>
        <source>ﾌﾞｯｸﾏｰｸを取り込んでいます</source>
        <translation>Importing bookmarks...</translation>
    </message>
    <message>
        <source>ﾌﾞｯｸﾏｰｸの書出</source>
        <translation>Export Bookmarks</translation>
    </message>
    <message>
        <source>ﾌﾞｯｸﾏｰｸを書き出しています</source>
        <translation>Exporting bookmarks...</translation>
    </message>
    <message>
        <source>ﾌﾞｯｸﾏｰｸ ﾌｧｲﾙ (*.html;*.htm;*.xbel)</source>
        <translation>Bookmark files (*.html;*.htm;*.xbel)</translation>
    </message>
    <message>
        <source>HTML ﾌﾞｯｸﾏｰｸ ﾌｧｲﾙ (*.html;*.htm)</source>
        <translation>HTML bookmark files (*.html;*.htm)</translation>
    </message>
    <message>
        <source>XBEL ﾌﾞｯｸﾏｰｸ ﾌｧｲﾙ (*.xbel)</source>
        <translation>XBEL bookmark files (*.xbel)</translation>
    </message>
</context>
<context>
    <name>BookmarkFile</name>
    <message>
        <source>ﾌﾞｯｸﾏｰｸのﾌｧｲﾙではありません</source>
        <translation>Not a bookmark file</translation>
    </message>
    <message>
        <source>文字ｺｰﾄﾞ %1 には対応していません</source>
        <translation>The character encoding %1 is not supported</translation>
    </message>
    <message>
        <source>%1 として読めないﾊﾞｲﾄがあります (%2 行目)</source>
        <translation>Holds bytes that are not valid %1 (line %2)</translation>
    </message>
    <message>
        <source>%1 として読めないﾊﾞｲﾄがあります</source>
        <translation>Holds bytes that are not valid %1</translation>
    </message>
    <message>
        <source>XBEL のﾌｧｲﾙではありません (%1 行目)</source>
        <translation>Not an XBEL file (line %1)</translation>
    </message>
    <message>
        <source>独自の実体を宣言した XBEL は読みません (%1 行目)</source>
        <translation>An XBEL file that declares entities of its own is not read (line %1)</translation>
    </message>
    <message>
        <source>XBEL として読めません (%1 行目): %2</source>
        <translation>Cannot be read as XBEL (line %1): %2</translation>
    </message>
</context>
<context>
    <name>BookmarkTransfer</name>
    <message>
        <source>ﾌﾞｯｸﾏｰｸ %1 を取り込めません: %2</source>
        <translation>Cannot import the bookmarks %1: %2</translation>
    </message>
    <message>
        <source>ﾘﾝｸ&#x3000;%1 件
新しい分類&#x3000;%2 件
重複で省いたﾘﾝｸ&#x3000;%3 件
読めなかった行&#x3000;%4 行</source>
        <translation>Links: %1
New groups: %2
Duplicate links left out: %3
Lines that could not be read: %4</translation>
    </message>
    <message>
        <source>ﾌﾞｯｸﾏｰｸ %1 に取り込むﾘﾝｸがありません

%2</source>
        <translation>The bookmarks %1 hold no links to import.

%2</translation>
    </message>
    <message>
        <source>ﾌﾞｯｸﾏｰｸ %1 を取り込みます

%2

取り込んで良いですか</source>
        <translation>The bookmarks %1 will be imported:

%2

Import them?</translation>
    </message>
    <message>
        <source>ﾘﾝｸの読み込みに失敗しました: %1</source>
        <translation>Could not read the links: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n 件のﾘﾝｸを %1 に書き出しました</source>
        <translation>
            <numerusform>Exported %n link to %1</numerusform>
            <numerusform>Exported %n links to %1</numerusform>
        </translation>
    </message>
    <message>
        <source>
%1 段より深く、上のﾌｫﾙﾀﾞにまとめたﾌｫﾙﾀﾞ&#x3000;%2 件</source>
        <translation>
Folders deeper than %1 levels, joined to the folder above: %2</translation>
    </message>
    <message>
        <source>
ﾌｧｲﾙ内の同じｱﾄﾞﾚｽをまとめたﾘﾝｸ&#x3000;%1 件</source>
        <translation>
Links merged with an earlier one of the same address: %1</translation>
    </message>
    <message>
        <source>
大文字小文字だけ違う名前でまとめたﾌｫﾙﾀﾞ&#x3000;%1 件</source>
        <translation>
Folders joined with one whose name differs only in letter case: %1</translation>
    </message>
</context>
<context>
    <name>BrowserCommands</name>
    <message>
        <source>ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰしました</source>
        <translation>Copied to the clipboard</translation>
    </message>
</context>
<context>
    <name>CaptureApi</name>
    <message>
        <source>%1 は使えません</source>
        <translation>%1 is not allowed</translation>
    </message>
    <message>
        <source>%1 はありません</source>
        <translation>There is no %1</translation>
    </message>
    <message>
        <source>%1 がありません</source>
        <translation>%1 is missing</translation>
    </message>
    <message>
        <source>JSON が読めません: %1</source>
        <translation>Cannot read the JSON: %1</translation>
    </message>
    <message>
        <source>ｵﾌﾞｼﾞｪｸﾄではありません</source>
        <translation>not an object</translation>
    </message>
    <message>
        <source>%1 は文字列で指定してください</source>
        <translation>Give %1 as a string</translation>
    </message>
    <message>
        <source>%1 は数値で指定してください</source>
        <translation>Give %1 as a number</translation>
    </message>
    <message>
        <source>%1 の値 %2 は使えません</source>
        <translation>%2 is not a value of %1</translation>
    </message>
    <message>
        <source>「%1」(%2) と同じﾍﾟｰｼﾞのようです</source>
        <translation>This seems to be the same page as &quot;%1&quot; (%2)</translation>
    </message>
    <message>
        <source>multipart/form-data で送ってください</source>
        <translation>Send it as multipart/form-data</translation>
    </message>
</context>
<context>
    <name>CheckHistory</name>
    <message>
        <source>応答なし</source>
        <translation>no answer</translation>
    </message>
    <message>
        <source>最終ﾁｪｯｸ: %1  %2  %3</source>
        <translation>Last check: %1  %2  %3</translation>
    </message>
    <message>
        <source>最終URL: %1</source>
        <translation>Final URL: %1</translation>
    </message>
    <message numerus="yes">
        <source>ﾘﾝｸ切れ: %n回連続 (%1 から)</source>
        <translation>
            <numerusform>Dead: %n check in a row (since %1)</numerusform>
            <numerusform>Dead: %n checks in a row (since %1)</numerusform>
        </translation>
    </message>
    <message>
        <source>移転先: %1</source>
        <translation>Moved to: %1</translation>
    </message>
</context>
<context>
    <name>CheckRun</name>
    <message>
        <source>ﾘﾝｸの読み込みに失敗しました: %1</source>
        <translation>Could not read the links: %1</translation>
    </message>
    <message>
        <source>ﾁｪｯｸ結果を記録できませんでした: %1</source>
        <translation>Could not record the check results: %1</translation>
    </message>
</context>
<context>
    <name>Cli</name>
    <message>
        <source>分類 %1 がありません</source>
        <translation>No group named %1</translation>
    </message>
    <message>
        <source>ﾘｽﾄの読み込みに失敗しました: %1</source>
        <translation>Could not read the list: %1</translation>
    </message>
    <message>
        <source>ﾁｪｯｸを中止しました (%1 / %2 件)</source>
        <translation>Check stopped (%1 of %2 links)</translation>
    </message>
    <message>
        <source>&apos;%1 --help&apos; で使い方を表示します</source>
        <translation>Try &apos;%1 --help&apos; for the usage</translation>
    </message>
    <message>
        <source>--data-dir にﾌｫﾙﾀﾞがありません</source>
        <translation>--data-dir needs a folder</translation>
    </message>
    <message>
        <source>ｺﾏﾝﾄﾞがありません</source>
        <translation>No command given</translation>
    </message>
    <message>
        <source>ｺﾏﾝﾄﾞ &apos;%1&apos; はありません</source>
        <translation>Unknown command &apos;%1&apos;</translation>
    </message>
    <message>
        <source>%1: ｵﾌﾟｼｮﾝ &apos;--%2&apos; はありません</source>
        <translation>%1: unknown option &apos;--%2&apos;</translation>
    </message>
    <message>
        <source>%1: %2 は一緒に使えません</source>
        <translation>%1: %2 cannot be used together</translation>
    </message>
    <message>
        <source>使い方: %1 %2</source>
        <translation>Usage: %1 %2</translation>
    </message>
    <message>
        <source>標準出力に書き込めません: %1</source>
        <translation>Cannot write to standard output: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n 件見つかりました</source>
        <translation>
            <numerusform>Found %n link</numerusform>
            <numerusform>Found %n links</numerusform>
        </translation>
    </message>
    <message>
        <source>件数 %1 は正の整数ではありません</source>
        <translation>The count %1 is not a positive whole number</translation>
    </message>
    <message>
        <source>本文を検索できません: %1</source>
        <translation>Cannot search the page text: %1</translation>
    </message>
    <message>
        <source>検索用の索引を削除できません: %1</source>
        <translation>Cannot delete the search index: %1</translation>
    </message>
    <message>
        <source>読めない保存ﾍﾟｰｼﾞ: %1</source>
        <translation>Unreadable saved page: %1</translation>
    </message>
    <message>
        <source>%1 件の保存ﾍﾟｰｼﾞを索引に入れました</source>
        <translation>Indexed %1 saved pages</translation>
    </message>
    <message>
        <source>--below は --group と共に指定してください</source>
        <translation>--below needs --group</translation>
    </message>
    <message>
        <source>「%1」(%2) と同じﾍﾟｰｼﾞのようです</source>
        <translation>This seems to be the same page as &quot;%1&quot; (%2)</translation>
    </message>
</context>
<context>
    <name>Cp932</name>
    <message>
        <source>Shift-JIS(ｺｰﾄﾞﾍﾟｰｼﾞ932)の文字変換が使えません</source>
        <translation>The Shift-JIS (code page 932) converter is not available</translation>
    </message>
</context>
<context>
    <name>Document</name>
    <message>
        <source>出力するﾘﾝｸがありません</source>
        <translation>There are no links to write</translation>
    </message>
</context>
<context>
    <name>HttpReader</name>
    <message>
        <source>ﾍｯﾀﾞｰが大きすぎます</source>
        <translation>The headers are too large</translation>
    </message>
    <message>
        <source>要求行が正しくありません</source>
        <translation>The request line is malformed</translation>
    </message>
    <message>
        <source>HTTP/1.1 で送ってください</source>
        <translation>Send the request as HTTP/1.1</translation>
    </message>
    <message>
        <source>ﾍｯﾀﾞｰ行が正しくありません</source>
        <translation>A header line is malformed</translation>
    </message>
    <message>
        <source>このﾎｽﾄ名では受け付けません</source>
        <translation>Requests for this host name are refused</translation>
    </message>
    <message>
        <source>Webﾍﾟｰｼﾞからの要求は受け付けません</source>
        <translation>Requests from web pages are refused</translation>
    </message>
    <message>
        <source>ﾄｰｸﾝがないか、違います</source>
        <translation>The token is missing or wrong</translation>
    </message>
    <message>
        <source>Content-Length で長さを示してください</source>
        <translation>Give the body&apos;s length with Content-Length</translation>
    </message>
    <message>
        <source>Content-Length が正しくありません</source>
        <translation>The Content-Length is malformed</translation>
    </message>
    <message>
        <source>%1 ﾊﾞｲﾄを超える要求は受け付けません</source>
        <translation>Requests larger than %1 bytes are refused</translation>
    </message>
    <message>
        <source>%1 はありません</source>
        <translation>There is no %1</translation>
    </message>
    <message>
        <source>%1 は使えません</source>
        <translation>%1 cannot be used here</translation>
    </message>
</context>
<context>
    <name>Launch</name>
    <message>
        <source>原因不明のｴﾗｰです</source>
        <translation>Unknown error</translation>
    </message>
    <message>
        <source>ﾛｯｸﾌｧｲﾙ %1 を作成できません: %2</source>
        <translation>Cannot create the lock file %1: %2</translation>
    </message>
    <message>
        <source>同じ名前のﾌｧｲﾙ以外のものがあります</source>
        <translation>Something other than a file has that name</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀｰﾌｫﾙﾀﾞ %1 は他の %2 が使用中です</source>
        <translation>The data folder %1 is in use by another %2</translation>
    </message>
    <message>
        <source>ﾌﾞﾗｳｻﾞのﾌﾞｯｸﾏｰｸは「%1」→「%2」で取り込めます</source>
        <translation>Import your browser&apos;s bookmarks with %1 → %2</translation>
    </message>
    <message>
        <source>ﾘﾝｸ集はまだ空です</source>
        <translation>Your link collection is still empty</translation>
    </message>
    <message>
        <source>ﾍﾟｰｼﾞを開いて F3 を押すと、そのﾍﾟｰｼﾞを登録します</source>
        <translation>Open a page and press F3 to add it</translation>
    </message>
</context>
<context>
    <name>LinkCheckRun</name>
    <message>
        <source>%1 / %2&#x3000;ﾘﾝｸ切れ %3</source>
        <translation>%1 / %2   Dead links: %3</translation>
    </message>
</context>
<context>
    <name>LinkListView</name>
    <message>
        <source>分類</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>表題</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>説明</source>
        <translation>Description</translation>
    </message>
    <message>
        <source>ﾘｽﾄの読み込みに失敗しました: %1</source>
        <translation>Could not read the list: %1</translation>
    </message>
</context>
<context>
    <name>LinkStore</name>
    <message>
        <source>番号が上限の %1 に達しています</source>
        <translation>The numbers have reached their limit of %1</translation>
    </message>
</context>
<context>
    <name>LocalServer</name>
    <message>
        <source>ﾎﾟｰﾄ %1 は他のﾌﾟﾛｸﾞﾗﾑが使用中です</source>
        <translation>Port %1 is in use by another program</translation>
    </message>
    <message>
        <source>ﾎﾟｰﾄ %1 で待ち受けできません: %2</source>
        <translation>Cannot listen on port %1: %2</translation>
    </message>
    <message>
        <source>同時に受け付けられる要求の数を超えています</source>
        <translation>Too many requests at once</translation>
    </message>
    <message>
        <source>要求が時間内に届きませんでした</source>
        <translation>The request did not arrive in time</translation>
    </message>
</context>
<context>
    <name>MainMenus</name>
    <message>
        <source>ﾌｧｲﾙ(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀｰﾌｫﾙﾀﾞを開く</source>
        <translation>&amp;Open Data Folder</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀｰﾍﾞｰｽの最適化</source>
        <translation>&amp;Compact Database</translation>
    </message>
    <message>
        <source>ﾌﾞｯｸﾏｰｸの取込(&amp;I)...</source>
        <translation>&amp;Import Bookmarks...</translation>
    </message>
    <message>
        <source>ﾌﾞｯｸﾏｰｸの書出(&amp;E)...</source>
        <translation>&amp;Export Bookmarks...</translation>
    </message>
    <message>
        <source>終了(&amp;Q)</source>
        <translation>&amp;Quit</translation>
    </message>
    <message>
        <source>ﾌﾞﾗｳｻﾞ(&amp;L)</source>
        <translation>&amp;Browser</translation>
    </message>
    <message>
        <source>ﾎｰﾑﾍﾟｰｼﾞへ移動</source>
        <translation>Go to &amp;Home Page</translation>
    </message>
    <message>
        <source>検索ﾍﾟｰｼﾞへ移動</source>
        <translation>Go to &amp;Search Page</translation>
    </message>
    <message>
        <source>ﾍﾟｰｼﾞ設定(&amp;U)</source>
        <translation>Page Set&amp;up...</translation>
    </message>
    <message>
        <source>印刷ﾌﾟﾚﾋﾞｭｰ(&amp;V)</source>
        <translation>Print Pre&amp;view</translation>
    </message>
    <message>
        <source>印刷</source>
        <translation>&amp;Print...</translation>
    </message>
    <message>
        <source>最新の状態に更新</source>
        <translation>&amp;Reload</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save Page &amp;As...</translation>
    </message>
    <message>
        <source>URLをｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ</source>
        <translation>&amp;Copy Address</translation>
    </message>
    <message>
        <source>ﾍﾟｰｼﾞのﾃｷｽﾄをｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ</source>
        <translation>Copy Page &amp;Text</translation>
    </message>
    <message>
        <source>ﾍﾟｰｼﾞのHTMをｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ</source>
        <translation>Copy Page HT&amp;ML</translation>
    </message>
    <message>
        <source>ﾘｽﾄ(&amp;S)</source>
        <translation>&amp;List</translation>
    </message>
    <message>
        <source>抽出</source>
        <translation>&amp;Show Group</translation>
    </message>
    <message>
        <source>最近登録したﾍﾟｰｼﾞ</source>
        <translation>&amp;Recently Added</translation>
    </message>
    <message>
        <source>検索(&amp;K)</source>
        <translation>&amp;Find</translation>
    </message>
    <message>
        <source>Htmに出力</source>
        <translation>Save as &amp;HTML Page...</translation>
    </message>
    <message>
        <source>Docに出力(画像付き)</source>
        <translation>Save as &amp;Document with Pictures...</translation>
    </message>
    <message>
        <source>一括画像出力</source>
        <translation>Update All &amp;Pictures</translation>
    </message>
    <message>
        <source>画像出力の指定</source>
        <translation>Picture S&amp;ettings...</translation>
    </message>
    <message>
        <source>登録(&amp;D)</source>
        <translation>&amp;Register</translation>
    </message>
    <message>
        <source>追加登録(&amp;W)</source>
        <translation>&amp;Add Link</translation>
    </message>
    <message>
        <source>削除(&amp;D)</source>
        <translation>&amp;Delete Link</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀｰ</source>
        <translation>&amp;Maintenance...</translation>
    </message>
    <message>
        <source>保存したﾍﾟｰｼﾞを表示</source>
        <translation>Show &amp;Saved Page</translation>
    </message>
    <message>
        <source>検索用の索引を作り直す</source>
        <translation>Rebuild the search index</translation>
    </message>
    <message>
        <source>ﾌﾞﾗｳｻﾞから登録の設定</source>
        <translation>Registering from your browser</translation>
    </message>
</context>
<context>
    <name>MaintenanceGrids</name>
    <message>
        <source>分類</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>並順</source>
        <translation>Order</translation>
    </message>
    <message>
        <source>表題</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>ﾁｪｯｸ</source>
        <translation>Check</translation>
    </message>
    <message>
        <source>秒</source>
        <translation>Sec</translation>
    </message>
</context>
<context>
    <name>MaintenanceMenus</name>
    <message>
        <source>ﾌｧｲﾙ(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>再表示(&amp;R)</source>
        <translation>&amp;Reload</translation>
    </message>
    <message>
        <source>更新(&amp;)</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀｰﾍﾞｰｽを初期化</source>
        <translation>&amp;Empty Database...</translation>
    </message>
    <message>
        <source>終了(&amp;Q)</source>
        <translation>&amp;Close</translation>
    </message>
    <message>
        <source>分類(&amp;B)</source>
        <translation>&amp;Groups</translation>
    </message>
    <message>
        <source>行挿入</source>
        <translation>&amp;Insert Row</translation>
    </message>
    <message>
        <source>行削除</source>
        <translation>&amp;Delete Rows</translation>
    </message>
    <message>
        <source>URL(&amp;U)</source>
        <translation>&amp;Links</translation>
    </message>
    <message>
        <source>ﾘﾝｸ切れのﾁｪｯｸ</source>
        <translation>&amp;Check for Dead Links</translation>
    </message>
    <message>
        <source>ﾘﾝｸ切れを削除</source>
        <translation>Delete D&amp;ead Links</translation>
    </message>
    <message>
        <source>重複を選択</source>
        <translation>Select D&amp;uplicates</translation>
    </message>
    <message>
        <source>移転先に更新</source>
        <translation>Update &amp;Moved Addresses</translation>
    </message>
    <message>
        <source>保存したﾍﾟｰｼﾞを表示</source>
        <translation>Show &amp;Saved Page</translation>
    </message>
    <message>
        <source>分類のﾘﾝｸ切れのﾁｪｯｸ</source>
        <translation>&amp;Check Links of Group</translation>
    </message>
    <message>
        <source>選択行のﾘﾝｸ切れのﾁｪｯｸ</source>
        <translation>Check Se&amp;lected Rows</translation>
    </message>
</context>
<context>
    <name>MultipartForm</name>
    <message>
        <source>ﾌｫｰﾑの区切りがありません</source>
        <translation>The form has no boundary</translation>
    </message>
    <message>
        <source>ﾌｫｰﾑが途中で終わっています</source>
        <translation>The form ends before it is complete</translation>
    </message>
</context>
<context>
    <name>OutputFile</name>
    <message>
        <source>作成するHTM</source>
        <translation>Save HTML Page</translation>
    </message>
    <message>
        <source>HTM ﾌｧｲﾙ (*.htm;*.html)</source>
        <translation>HTML files (*.htm;*.html)</translation>
    </message>
    <message>
        <source>作成するDOC</source>
        <translation>Save Document</translation>
    </message>
    <message>
        <source>ﾜｰﾄﾞ文書 (*.doc;*.docx)</source>
        <translation>Word documents (*.doc;*.docx)</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ %1 に書き込めません: %2</source>
        <translation>Cannot write the file %1: %2</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀｰﾌｫﾙﾀﾞのﾌｧｲﾙには書き出せません</source>
        <translation>it is a file of the data folder, which no export replaces</translation>
    </message>
</context>
<context>
    <name>PageArchive</name>
    <message>
        <source>ﾌｧｲﾙができていません</source>
        <translation>No file was written</translation>
    </message>
    <message>
        <source>ﾍﾟｰｼﾞが空です</source>
        <translation>The page is empty</translation>
    </message>
    <message>
        <source>%1 MB を超えるため残しません (%2 MB)</source>
        <translation>Not kept, larger than %1 MB (%2 MB)</translation>
    </message>
    <message>
        <source>%1 を保存できません: %2</source>
        <translation>Cannot save %1: %2</translation>
    </message>
    <message>
        <source>表示中のﾍﾟｰｼﾞが変わりました</source>
        <translation>The page on show has changed</translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞ %1 を作成できません</source>
        <translation>Cannot create the folder %1</translation>
    </message>
    <message>
        <source>保存したﾍﾟｰｼﾞ (%1): %2</source>
        <translation>Saved page (%1): %2</translation>
    </message>
    <message>
        <source>保存したﾍﾟｰｼﾞがありません: %1</source>
        <translation>No saved page: %1</translation>
    </message>
    <message>
        <source>ﾘﾝｸが削除されました</source>
        <translation>the link was deleted</translation>
    </message>
    <message>
        <source>保存したﾍﾟｰｼﾞ %1 は %2 のﾍﾟｰｼﾞではありません</source>
        <translation>The saved page %1 is not a copy of %2</translation>
    </message>
</context>
<context>
    <name>PagePictures</name>
    <message>
        <source>%1 を保存できません: %2</source>
        <translation>Cannot save %1: %2</translation>
    </message>
    <message>
        <source>ﾘﾝｸの読み込みに失敗しました: %1</source>
        <translation>Could not read the links: %1</translation>
    </message>
    <message>
        <source>%1 件のﾘﾝｸの画像を出力します（約%2分）。よろしいですか</source>
        <translation>Make the pictures of %1 links (about %2 min)?</translation>
    </message>
</context>
<context>
    <name>PageText</name>
    <message>
        <source>%1 が読めません: %2</source>
        <translation>Cannot read %1: %2</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙが大きすぎます</source>
        <translation>The file is too large</translation>
    </message>
    <message>
        <source>ﾍﾟｰｼﾞがありません</source>
        <translation>It holds no page</translation>
    </message>
</context>
<context>
    <name>ProgressWindow</name>
    <message>
        <source>中止</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>QtDialogs</name>
    <message>
        <source>保存</source>
        <translation>&amp;Save</translation>
    </message>
    <message>
        <source>破棄</source>
        <translation>&amp;Discard</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>Receiver</name>
    <message>
        <source>ﾌﾞﾗｳｻﾞから登録のﾄｰｸﾝを保存できません: %1</source>
        <translation>Cannot save the token for registering from your browser: %1</translation>
    </message>
    <message>
        <source>ﾌﾞﾗｳｻﾞからの登録を受け付けられません。%1</source>
        <translation>Cannot take registrations from your browser. %1</translation>
    </message>
    <message>
        <source>まだ受け付けられません</source>
        <translation>Linkwell cannot take requests yet</translation>
    </message>
</context>
<context>
    <name>ReceiverDialog</name>
    <message>
        <source>ﾌﾞﾗｳｻﾞから登録の設定</source>
        <translation>Registering from your browser</translation>
    </message>
    <message>
        <source>ﾌﾞﾗｳｻﾞからの登録を受け付ける</source>
        <translation>Take registrations from your browser</translation>
    </message>
    <message>
        <source>ﾌﾞﾗｳｻﾞから登録のﾄｰｸﾝを保存できません: %1</source>
        <translation>Cannot save the token for registering from your browser: %1</translation>
    </message>
    <message>
        <source>ｺﾋﾟｰ</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>新しいﾄｰｸﾝ</source>
        <translation>New token</translation>
    </message>
    <message>
        <source>ﾎﾟｰﾄ</source>
        <translation>Port</translation>
    </message>
    <message>
        <source>ｱﾄﾞﾚｽ</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>ﾄｰｸﾝ</source>
        <translation>Token</translation>
    </message>
    <message>
        <source>Ok(&amp;O)</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Cancel(&amp;C)</source>
        <translation>&amp;Cancel</translation>
    </message>
    <message>
        <source>受付中: %1</source>
        <translation>Listening: %1</translation>
    </message>
    <message>
        <source>停止中: %1</source>
        <translation>Stopped: %1</translation>
    </message>
    <message>
        <source>停止中</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>新しいﾄｰｸﾝにすると、今のﾄｰｸﾝを設定したﾌﾞﾗｳｻﾞからは登録できなくなります。よろしいですか?</source>
        <translation>With a new token, browsers set up with the current one can no longer register. Go on?</translation>
    </message>
    <message>
        <source>ﾕｰｻﾞｰ環境ﾌｧｲﾙを保存できません: %1</source>
        <translation>Cannot save the settings file: %1</translation>
    </message>
</context>
<context>
    <name>RegistrationPanel</name>
    <message>
        <source>分類</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>抽出</source>
        <translation>Show</translation>
    </message>
    <message>
        <source>並順</source>
        <translation>Order</translation>
    </message>
    <message>
        <source>検索</source>
        <translation>Find</translation>
    </message>
    <message>
        <source>表題と説明</source>
        <translation>Title, notes</translation>
    </message>
    <message>
        <source>追加</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>前のﾍﾟｰｼﾞに戻ります</source>
        <translation>Back to the previous page</translation>
    </message>
    <message>
        <source>次のﾍﾟｰｼﾞに移動します</source>
        <translation>Forward to the next page</translation>
    </message>
    <message>
        <source>検索ﾍﾟｰｼﾞに移動します</source>
        <translation>Go to the search page</translation>
    </message>
    <message>
        <source>修正</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>分類の読み込みに失敗しました: %1</source>
        <translation>Could not read the groups: %1</translation>
    </message>
    <message>
        <source>ﾍﾟｰｼﾞを読み込めませんでした</source>
        <translation>Could not load the page</translation>
    </message>
    <message>
        <source>ﾍﾟｰｼﾞの検索に失敗しました: %1</source>
        <translation>Could not look up the page: %1</translation>
    </message>
    <message>
        <source>追加登録(&amp;W)</source>
        <translation>&amp;Add Link</translation>
    </message>
    <message>
        <source>修正登録(&amp;W)</source>
        <translation>&amp;Update Link</translation>
    </message>
    <message>
        <source>類似登録あり: %1 %2</source>
        <translation>Similar link registered: %1 %2</translation>
    </message>
    <message>
        <source>ﾍﾟｰｼﾞのﾀﾞｳﾝﾛｰﾄﾞ中です&#x3000;終了までお待ち下さい</source>
        <translation>The page is still loading. Please wait until it has finished.</translation>
    </message>
    <message>
        <source>ﾘﾝｸの登録に失敗しました: %1</source>
        <translation>Could not register the link: %1</translation>
    </message>
    <message>
        <source>ﾘﾝｸの削除に失敗しました: %1</source>
        <translation>Could not delete the link: %1</translation>
    </message>
    <message>
        <source>「%1」(%2) と同じﾍﾟｰｼﾞのようです。追加しますか</source>
        <translation>This looks like the same page as “%1” (%2). Add it anyway?</translation>
    </message>
    <message>
        <source>分類「%1」はありません。作成しますか</source>
        <translation>There is no group “%1”. Create it?</translation>
    </message>
    <message>
        <source>番号を決められません: %1</source>
        <translation>Could not find a new number: %1</translation>
    </message>
    <message>
        <source>「%1」を削除します。よろしいですか</source>
        <translation>Delete “%1”?</translation>
    </message>
    <message>
        <source>下位の分類も表示</source>
        <translation>Show subgroups too</translation>
    </message>
</context>
<context>
    <name>SearchBox</name>
    <message>
        <source>準備中</source>
        <translation>Preparing</translation>
    </message>
    <message>
        <source>検索の準備に失敗しました: %1</source>
        <translation>Could not prepare the search: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n 件</source>
        <translation>
            <numerusform>%n link</numerusform>
            <numerusform>%n links</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <source>ｱﾄﾞﾚｽ %1 は開けません: %2</source>
        <translation>Cannot open the address %1: %2</translation>
    </message>
    <message>
        <source>http, https, file 以外のｱﾄﾞﾚｽです</source>
        <translation>Not an http, https or file address</translation>
    </message>
    <message>
        <source>ｱﾄﾞﾚｽの形が正しくありません</source>
        <translation>The address is malformed</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙがありません</source>
        <translation>No such file</translation>
    </message>
    <message>
        <source>開くｱﾄﾞﾚｽは1つだけ指定してください: %1</source>
        <translation>Give only one address to open: %1</translation>
    </message>
    <message>
        <source>%1: %2 を終了します</source>
        <translation>%1: %2 quits</translation>
    </message>
    <message>
        <source>ﾕｰｻﾞｰ環境ﾌｧｲﾙ(%1) を保存できません: %2</source>
        <translation>Cannot save the settings file (%1): %2</translation>
    </message>
    <message>
        <source>--data-dir にﾌｫﾙﾀﾞがありません</source>
        <translation>--data-dir needs a folder</translation>
    </message>
</context>
<context>
    <name>Store</name>
    <message>
        <source>ﾃﾞｰﾀｰﾍﾞｰｽ %1 が開けません: %2</source>
        <translation>Cannot open the database %1: %2</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀｰﾍﾞｰｽの版 %1 は、このﾌﾟﾛｸﾞﾗﾑが扱える版 %2 より新しいです</source>
        <translation>The database version %1 is newer than version %2, which this program can use</translation>
    </message>
    <message>
        <source>%1 の最適化を中止しました</source>
        <translation>Compacting %1 was cancelled</translation>
    </message>
    <message>
        <source>%1 を最適化できませんでした: %2</source>
        <translation>Could not compact %1: %2</translation>
    </message>
    <message>
        <source>%1 を最適化しました</source>
        <translation>Compacted %1</translation>
    </message>
</context>
<context>
    <name>SystemText</name>
    <message>
        <source>ﾌｧｲﾙまたはﾌｫﾙﾀﾞがありません</source>
        <translation>No such file or folder</translation>
    </message>
    <message>
        <source>ｱｸｾｽが許可されていません</source>
        <translation>Permission denied</translation>
    </message>
    <message>
        <source>ﾃﾞｨｽｸに空きがありません</source>
        <translation>No space left on the disk</translation>
    </message>
    <message>
        <source>ﾃﾞｨｽｸの使用量の上限を超えました</source>
        <translation>Disk quota exceeded</translation>
    </message>
    <message>
        <source>読み取り専用のﾌｧｲﾙｼｽﾃﾑです</source>
        <translation>Read-only file system</translation>
    </message>
    <message>
        <source>同じ名前のものがあります</source>
        <translation>Something of that name exists already</translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞではありません</source>
        <translation>Not a folder</translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞです</source>
        <translation>Is a folder</translation>
    </message>
    <message>
        <source>入出力ｴﾗｰです</source>
        <translation>Input/output error</translation>
    </message>
    <message>
        <source>名前が長すぎます</source>
        <translation>Name too long</translation>
    </message>
    <message>
        <source>開いているﾌｧｲﾙが多すぎます</source>
        <translation>Too many open files</translation>
    </message>
    <message>
        <source>ｵﾌﾟｼｮﾝ &apos;%1&apos; はありません</source>
        <translation>Unknown option &apos;%1&apos;</translation>
    </message>
    <message>
        <source>ｵﾌﾟｼｮﾝ %1 はありません</source>
        <translation>Unknown options: %1</translation>
    </message>
    <message>
        <source>&apos;%1&apos; の後に値がありません</source>
        <translation>Missing value after &apos;%1&apos;</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は値をとりません</source>
        <translation>Unexpected value after &apos;%1&apos;</translation>
    </message>
</context>
<context>
    <name>TextFile</name>
    <message>
        <source>ﾌｫﾙﾀﾞです</source>
        <translation>Is a folder</translation>
    </message>
    <message>
        <source>名前付きﾊﾟｲﾌﾟ(FIFO)です</source>
        <translation>Is a named pipe (FIFO)</translation>
    </message>
    <message>
        <source>ﾃﾞﾊﾞｲｽです</source>
        <translation>Is a device</translation>
    </message>
    <message>
        <source>ｿｹｯﾄです</source>
        <translation>Is a socket</translation>
    </message>
    <message>
        <source>通常のﾌｧｲﾙではありません</source>
        <translation>Not a regular file</translation>
    </message>
    <message>
        <source>%1 ﾊﾞｲﾄ</source>
        <translation>%1 bytes</translation>
    </message>
    <message>
        <source>ﾃﾞｨｽｸに空きがありません</source>
        <translation>the disk is full</translation>
    </message>
    <message>
        <source>大きすぎます(%1 ﾊﾞｲﾄ、上限 %2)</source>
        <translation>Too large (%1 bytes, at most %2)</translation>
    </message>
    <message>
        <source>大きすぎます(上限 %1)</source>
        <translation>Too large (at most %1)</translation>
    </message>
</context>
<context>
    <name>TextSearch</name>
    <message>
        <source>本文を検索できません: %1</source>
        <translation>Cannot search the page text: %1</translation>
    </message>
    <message numerus="yes">
        <source>%n 件</source>
        <translation>
            <numerusform>%n link</numerusform>
            <numerusform>%n links</numerusform>
        </translation>
    </message>
    <message>
        <source>本文の索引を作成中 %1 / %2</source>
        <translation>Indexing page text %1 / %2</translation>
    </message>
    <message>
        <source>本文の索引を作成できませんでした: %1</source>
        <translation>Could not index the page text: %1</translation>
    </message>
    <message numerus="yes">
        <source>読めない保存ﾍﾟｰｼﾞが %n 件あります</source>
        <translation>
            <numerusform>%n saved page cannot be read</numerusform>
            <numerusform>%n saved pages cannot be read</numerusform>
        </translation>
    </message>
    <message>
        <source>検索用の索引を削除できません: %1</source>
        <translation>Cannot delete the search index: %1</translation>
    </message>
</context>
<context>
    <name>Usr</name>
    <message>
        <source>番号を決められません: %1</source>
        <translation>Could not find a new number: %1</translation>
    </message>
</context>
<context>
    <name>WebEngineBrowser</name>
    <message>
        <source>表示中のﾍﾟｰｼﾞがありません</source>
        <translation>No page is on show</translation>
    </message>
    <message>
        <source>中止されました</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>時間内に終わりませんでした</source>
        <translation>Did not finish in time</translation>
    </message>
    <message>
        <source>名前を付けて保存</source>
        <translation>Save Page As</translation>
    </message>
    <message>
        <source>Web ﾍﾟｰｼﾞ (*.html;*.htm;*.mhtml)</source>
        <translation>Web pages (*.html;*.htm;*.mhtml)</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ %1 は既にあります｡上書きしますか?</source>
        <translation>The file %1 already exists. Replace it?</translation>
    </message>
</context>
<context>
    <name>fmData</name>
    <message>
        <source>ﾃﾞｰﾀｰの並順等の指定</source>
        <translation>Maintenance</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀｰの読み込みに失敗しました: %1</source>
        <translation>Could not read the data: %1</translation>
    </message>
    <message>
        <source>選択した行に移転先はありません</source>
        <translation>None of the selected links has moved</translation>
    </message>
    <message>
        <source>更新できませんでした: %1</source>
        <translation>Could not save: %1</translation>
    </message>
    <message>
        <source>分類・URLを全て削除して良いですか</source>
        <translation>Delete every group and link?</translation>
    </message>
    <message>
        <source>初期化できませんでした: %1</source>
        <translation>Could not empty the database: %1</translation>
    </message>
    <message>
        <source>URLの画像も全て削除しますか</source>
        <translation>Delete every page picture too?</translation>
    </message>
    <message>
        <source>修正は未更新です。保存しますか</source>
        <translation>Your changes are not saved. Save them?</translation>
    </message>
    <message>
        <source>下位の分類 %1 件も名前が変わります。保存して良いですか</source>
        <translation>%1 groups below are renamed too. Save?</translation>
    </message>
    <message>
        <source>既にある分類 %1 にまとめます。保存して良いですか</source>
        <translation>Joined with the existing group %1. Save?</translation>
    </message>
    <message>
        <source>削除する分類の下位の分類 %1 件も削除しますか</source>
        <translation>Delete the %1 groups below the deleted groups too?</translation>
    </message>
</context>
<context>
    <name>fmLink</name>
    <message>
        <source>ﾃﾞｰﾀｰﾍﾞｰｽを最適化しています</source>
        <translation>Compacting the database...</translation>
    </message>
    <message>
        <source>ｱﾄﾞﾚｽ</source>
        <translation>Address</translation>
    </message>
    <message>
        <source>本文も検索</source>
        <translation>Search page text too</translation>
    </message>
    <message>
        <source>ﾘｽﾄの読み込みに失敗しました: %1</source>
        <translation>Could not read the list: %1</translation>
    </message>
</context>
<context>
    <name>sbBrw</name>
    <message>
        <source>全て表示されたら&#x3000;OK ボタンを押して下さい</source>
        <translation>Press OK once the page is shown in full.</translation>
    </message>
</context>
<context>
    <name>sbUpc</name>
    <message>
        <source>画像の指定</source>
        <translation>Picture Settings</translation>
    </message>
    <message>
        <source>ポータルページﾞに画像を取り込む</source>
        <translation>Include pictures in the portal page</translation>
    </message>
    <message>
        <source>画像の縮小率</source>
        <translation>Picture scale</translation>
    </message>
    <message>
        <source>５０%: A４縦の１ページに 4コマ入ります </source>
        <translation>50%: 4 pictures fit on one A4 portrait page.</translation>
    </message>
    <message>
        <source>サイズ変更後は画像の一括出力を指定して下さい</source>
        <translation>After changing the scale, choose Update All Pictures.</translation>
    </message>
    <message>
        <source>Ok(&amp;O)</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Cancel(&amp;C)</source>
        <translation>&amp;Cancel</translation>
    </message>
</context>
<context>
    <name>yIni</name>
    <message>
        <source>%1 の設定が読み込めません</source>
        <translation>Cannot read the settings %1</translation>
    </message>
    <message>
        <source>ﾕｰｻﾞｰ環境ﾌｧｲﾙ(%1) が破損しています</source>
        <translation>The settings file (%1) is damaged</translation>
    </message>
    <message>
        <source>ﾕｰｻﾞｰ環境ﾌｧｲﾙ(%1) を読み込めません: %2</source>
        <translation>Cannot read the settings file (%1): %2</translation>
    </message>
    <message>
        <source>ﾕｰｻﾞｰ環境ﾌｧｲﾙ(%1) を作成できません: %2</source>
        <translation>Cannot create the settings file (%1): %2</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀｰﾌｫﾙﾀﾞ %1 に書き込めません: %2</source>
        <translation>Cannot write to the data folder %1: %2</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀｰﾌｫﾙﾀﾞ %1 を作成できません: %2</source>
        <translation>Cannot create the data folder %1: %2</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾀｰﾌｫﾙﾀﾞ %1 のﾘﾝｸ集に書き込めません: %2</source>
        <translation>Cannot write to the link collection in the data folder %1: %2</translation>
    </message>
    <message>
        <source>ﾕｰｻﾞｰ別のﾃﾞｰﾀｰﾌｫﾙﾀﾞ %1 を使って続けますか?</source>
        <translation>Go on with your own data folder %1?</translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞ %1 を作成できません: %2</source>
        <translation>Cannot create the folder %1: %2</translation>
    </message>
    <message>
        <source>%1 のｼｮｰﾄｶｯﾄを %2 に作成しました</source>
        <translation>Created a shortcut to %1 in %2</translation>
    </message>
    <message>
        <source>%1 の要素がありません</source>
        <translation>The element %1 is missing</translation>
    </message>
</context>
</TS>
