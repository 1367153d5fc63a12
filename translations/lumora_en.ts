<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CommandLine</name>
    <message>
        <source>Lumora 自动学习浏览器：登录培训网站，逐一打开网站上的课，并记下每课学习的分钟数。</source>
        <translation>Lumora automatic-study browser: logs in to a training site, opens its lessons one after another and keeps count of the minutes studied.</translation>
    </message>
    <message>
        <source>这次使用的培训网站地址。登录页是该网站的 /permission/loginAction.do?method=init。不给时：用第一次启动时或菜单“网站地址…”保存的地址%1。</source>
        <translation>Address of the training site for this run. The login page is that host&apos;s /permission/loginAction.do?method=init. Without it: the address saved at the first start or with the menu item &quot;Site address…&quot;%1.</translation>
    </message>
    <message>
        <source>，否则用内置的 %1</source>
        <translation>, else %1, built in</translation>
    </message>
    <message>
        <source>保存用户名、密码和学习进度的文件，不再尝试别的位置（默认 %1%2）。</source>
        <translation>Where the user name, password and study progress are kept, with no other place tried (default %1%2).</translation>
    </message>
    <message>
        <source>，无法写入时用 %1</source>
        <translation>, or %1 when that cannot be written</translation>
    </message>
    <message>
        <source>继续被重新启动打断的连续学习：用保存的用户名和密码登录，然后开始学习（系统重新启动本程序时会加上它）。</source>
        <translation>Goes on with the study run a restart cut short: logs in with the saved user name and password and starts studying (the system passes it when it starts the program again).</translation>
    </message>
</context>
<context>
    <name>MorningReport</name>
    <message>
        <source>%1 至 %2（%3）</source>
        <translation>%1 to %2 (%3)</translation>
    </message>
    <message>
        <source>学习结束</source>
        <translation>Study finished</translation>
    </message>
    <message>
        <source>学习暂停</source>
        <translation>Study paused</translation>
    </message>
    <message>
        <source>学习暂停：%1</source>
        <translation>Study paused: %1</translation>
    </message>
    <message>
        <source>程序退出，学习中断</source>
        <translation>The program was closed; study stopped</translation>
    </message>
    <message>
        <source>没有结束的记录（仍在学习，或程序意外中断）</source>
        <translation>No end recorded (still studying, or the program stopped unexpectedly)</translation>
    </message>
    <message>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>课件多次无法打开</source>
        <translation>the player failed to open several times</translation>
    </message>
    <message>
        <source>学完的课：没有</source>
        <translation>Lessons finished: none</translation>
    </message>
    <message>
        <source>学完的课（%1 课）：%2</source>
        <translation>Lessons finished (%1): %2</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>跳过的课：没有</source>
        <translation>Lessons skipped: none</translation>
    </message>
    <message>
        <source>跳过的课：%1</source>
        <translation>Lessons skipped: %1</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>未能计时：没有</source>
        <translation>Time not counted: none</translation>
    </message>
    <message>
        <source>最长一次未能计时：%1 分钟（%2）</source>
        <translation>Longest time not counted: %1 min (%2)</translation>
    </message>
    <message>
        <source>登录失效后重新登录：%1 次</source>
        <translation>Logged in again after the login expired: %1 times</translation>
    </message>
    <message>
        <source>程序重新启动后继续学习：%1 次</source>
        <translation>Study resumed after a restart: %1 times</translation>
    </message>
    <message>
        <source>电脑休眠：%1，其间不计学习时间</source>
        <translation>Computer asleep: %1, not counted as study time</translation>
    </message>
    <message>
        <source>学习进度未能保存：%1 次</source>
        <translation>Study progress not saved: %1 times</translation>
    </message>
    <message>
        <source>类别</source>
        <translation>Category</translation>
    </message>
    <message>
        <source>本次学习</source>
        <translation>This run</translation>
    </message>
    <message>
        <source>已学完</source>
        <translation>Finished</translation>
    </message>
    <message>
        <source>还需</source>
        <translation>Still needed</translation>
    </message>
    <message>
        <source>%1 分钟</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>%1 / %2 课</source>
        <translation>%1 / %2 lessons</translation>
    </message>
    <message>
        <source>全部学完</source>
        <translation>All finished</translation>
    </message>
    <message>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>结束</source>
        <translation>End</translation>
    </message>
    <message>
        <source>学习</source>
        <translation>Studied</translation>
    </message>
    <message>
        <source>学完</source>
        <translation>Finished</translation>
    </message>
    <message>
        <source>跳过</source>
        <translation>Skipped</translation>
    </message>
    <message>
        <source>最长未能计时</source>
        <translation>Longest not counted</translation>
    </message>
    <message>
        <source>重新登录</source>
        <translation>Logins again</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>%1 课</source>
        <translation>%1 lessons</translation>
    </message>
    <message>
        <source>%1 次</source>
        <translation>%1 times</translation>
    </message>
    <message>
        <source>Lumora 学习记录，导出于 %1</source>
        <translation>Lumora study record, exported on %1</translation>
    </message>
    <message>
        <source>上次学习</source>
        <translation>Last run</translation>
    </message>
    <message>
        <source>还没有连续学习的记录。</source>
        <translation>No study run recorded yet.</translation>
    </message>
    <message>
        <source>学习进度</source>
        <translation>Study progress</translation>
    </message>
    <message>
        <source>%1 各课已学 / 需学分钟：%2</source>
        <translation>%1, minutes studied / needed per lesson: %2</translation>
    </message>
    <message>
        <source>以往的学习（最近 %1 次）</source>
        <translation>Earlier runs (last %1)</translation>
    </message>
    <message>
        <source>学习记录</source>
        <translation>Study record</translation>
    </message>
    <message>
        <source>网站从 %1 起停止计时，此后不再记时：%2</source>
        <translation>The site stopped counting from %1; nothing was credited after that: %2</translation>
    </message>
    <message>
        <source>没有找到网站的学习记录页：这里的分钟数都是本程序自己记的，无法与网站核对，请自己在网站上查看。</source>
        <translation>The site&apos;s study record page was not found: the minutes here are the program&apos;s own and cannot be checked against the site. Please check them on the site.</translation>
    </message>
    <message>
        <source>还没有读到网站的学习记录：这里的分钟数是本程序自己记的，请自己在网站上查看。</source>
        <translation>The site&apos;s study record has not been read yet: the minutes here are the program&apos;s own. Please check them on the site.</translation>
    </message>
    <message>
        <source>网站的学习记录（%1 读取）：%2 课共 %3 分钟，本程序对这些课记了 %4 分钟。图中实心的是网站记的分钟，斜线的是本程序记的。</source>
        <translation>The site&apos;s study record (read %1): %2 lessons, %3 minutes in all; the program credited %4 minutes to them. Solid bars are the site&apos;s minutes, hatched bars the program&apos;s.</translation>
    </message>
    <message>
        <source>%1/%2(网站%3)</source>
        <translation>%1/%2 (site %3)</translation>
    </message>
</context>
<context>
    <name>RunTexts</name>
    <message>
        <source>学习结束后自己查询学习时间是否已达到要求！</source>
        <translation>When the study is finished, check for yourself that the study time meets the requirement!</translation>
    </message>
    <message>
        <source>欢迎免费合作订制各类网络培训软件</source>
        <translation>Custom online-training software made free of charge on request</translation>
    </message>
    <message>
        <source>学习已结束!</source>
        <translation>Study finished!</translation>
    </message>
    <message>
        <source>学习已结束，但还有课没有学完。</source>
        <translation>Study finished, but some lessons are not finished yet.</translation>
    </message>
    <message>
        <source>以下课的页面多次无法打开，本次跳过：%1。</source>
        <translation>These lessons failed to open several times and were skipped this time: %1.</translation>
    </message>
    <message>
        <source>请稍后再按“连续学习”补学。</source>
        <translation>Press &quot;Study continuously&quot; again later to catch up.</translation>
    </message>
    <message>
        <source>欢迎免费合作订制各类自动学习软件</source>
        <translation>Custom automatic-study software made free of charge on request</translation>
    </message>
    <message>
        <source>课程列表没有按时打开，稍后重试</source>
        <translation>The lesson list did not open in time; trying again shortly</translation>
    </message>
    <message>
        <source>课程列表没有按时打开</source>
        <translation>The lesson list did not open in time</translation>
    </message>
    <message>
        <source>网站上%1的课程列表有 %2 课，学习计划有 %3 课</source>
        <translation>The site lists %2 lessons for %1; the study plan has %3</translation>
    </message>
    <message>
        <source>%1的视频已暂停，等待学员操作（例如回答页面上的问题），暂停期间不计学习时间</source>
        <translation>The video of %1 is paused, waiting for you (for example to answer a question on the page); the pause is not counted as study time</translation>
    </message>
    <message>
        <source>课件离开了本课的页面，本分钟不计学习时间，正在重新打开本课</source>
        <translation>The player left this lesson&apos;s page; this minute is not counted; opening the lesson again</translation>
    </message>
    <message>
        <source>%1的页面多次无法打开，本次学习跳过该课</source>
        <translation>%1 failed to open several times and is skipped in this run</translation>
    </message>
    <message>
        <source>网站的视频暂时无法播放，一课接一课出现同样的问题，不是课的问题：不跳过任何课，不计学习时间，等待网站恢复后继续</source>
        <translation>The site&apos;s videos cannot be played for now. Every lesson has the same problem, so it is not the lessons: none is skipped, no time is counted, and study goes on when the site recovers</translation>
    </message>
    <message>
        <source>第 %1 课的页面上没有找到视频：%2</source>
        <translation>No video found on the page of lesson %1: %2</translation>
    </message>
    <message>
        <source>登录后很快又失效，已连续重新登录 %1 次仍未能计时，学习已暂停。请检查网站能否正常学习后再按“连续学习”。</source>
        <translation>The login keeps expiring soon after logging in; after %1 logins in a row no time was counted, so study is paused. Check that the site can be studied normally, then press &quot;Study continuously&quot;.</translation>
    </message>
    <message>
        <source>此电脑无法播放该网站的视频格式，学习已暂停，不计学习时间。请换用能播放该格式的 Lumora 版本后再学习。</source>
        <translation>This computer cannot play the site&apos;s video format. Study is paused and no time is counted. Please use a version of Lumora that plays this format.</translation>
    </message>
    <message>
        <source>无法连接培训网站，本分钟不计学习时间，正在重新打开课件</source>
        <translation>Cannot reach the training site. This minute is not counted; reopening the lesson player.</translation>
    </message>
    <message>
        <source>培训网站暂时无法服务，本分钟不计学习时间，稍后重新打开课件</source>
        <translation>The training site is temporarily unavailable. This minute is not counted; the lesson player will be reopened.</translation>
    </message>
    <message>
        <source>课件没有打开，正在重新打开</source>
        <translation>The lesson player did not open; reopening it.</translation>
    </message>
    <message>
        <source>课的视频打不开（网站的视频文件缺失或无法读取）</source>
        <translation>The lesson&apos;s video cannot be opened (the site&apos;s video file is missing or unreadable).</translation>
    </message>
    <message>
        <source>以下课没有学够：%1。</source>
        <translation>These lessons are not studied enough yet: %1.</translation>
    </message>
    <message>
        <source>%1的视频已暂停，页面上写着：%2。请在课件上回答，暂停期间不计学习时间</source>
        <translation>The video of %1 is paused; the page says: %2. Please answer it on the lesson&apos;s page; no study time counts while it is paused</translation>
    </message>
    <message>
        <source>网站响应很慢，暂时无法确认登录状态，不计学习时间，正在等待网站</source>
        <translation>The site is answering very slowly and the login cannot be confirmed; no study time counts while the program waits for the site</translation>
    </message>
    <message>
        <source>%1本次学习跳过：%2</source>
        <translation>%1 skipped in this run: %2</translation>
    </message>
    <message>
        <source>第 %1 课的页面是文档，没有视频或音频：%2</source>
        <translation>The page of lesson %1 is a document, with no video or audio: %2</translation>
    </message>
    <message>
        <source>网站已停止计时（近 %1 分钟只记了 %2 分钟）：可能今日学时已满，或网站的计时出了问题</source>
        <translation>The site has stopped counting (only %2 minutes counted in the last %1 minutes): the day&apos;s study hours may be full, or the site&apos;s counting has a problem</translation>
    </message>
    <message>
        <source>%1；网页上写着：%2</source>
        <translation>%1; the page says: %2</translation>
    </message>
    <message>
        <source>。程序不再记时，每 30 分钟查看一次网站是否恢复计时。</source>
        <translation>. The program credits nothing more and checks every 30 minutes whether the site counts again.</translation>
    </message>
    <message>
        <source>网站已停止计时，网页上写着：%1。程序不再记时，每 30 分钟查看一次网站是否恢复计时。</source>
        <translation>The site has stopped counting; the page says: %1. The program credits nothing more and checks every 30 minutes whether the site counts again.</translation>
    </message>
    <message>
        <source>没有找到网站的学习记录页：学习时间只是本程序自己记的，无法与网站核对。请自己在网站上查看学习时间。</source>
        <translation>The site&apos;s study record page was not found: the study time is only the program&apos;s own count and cannot be checked against the site. Please check the study time on the site.</translation>
    </message>
    <message>
        <source>%1（网站记了 %2 分钟，本程序记了 %3 分钟）</source>
        <translation>%1 (the site counted %2 minutes, the program %3)</translation>
    </message>
    <message>
        <source>课件页面自己转到了别处</source>
        <translation>The lesson&apos;s page went elsewhere by itself</translation>
    </message>
    <message>
        <source>课件的视频 %1 分钟既没有播放也没有暂停</source>
        <translation>The lesson&apos;s video neither played nor was paused for %1 minutes</translation>
    </message>
    <message>
        <source>无法连接培训网站</source>
        <translation>Cannot reach the training site</translation>
    </message>
    <message>
        <source>课件是文档，没有视频或音频</source>
        <translation>The lesson is a document, with no video or audio</translation>
    </message>
    <message>
        <source>页面上没有找到视频或音频</source>
        <translation>No video or audio was found on the page</translation>
    </message>
    <message>
        <source>：</source>
        <translation>: </translation>
    </message>
    <message>
        <source>网站的视频 %1 分钟一直无法播放</source>
        <translation>The site&apos;s videos could not play for %1 minutes</translation>
    </message>
</context>
<context>
    <name>lumora::app::AddressTexts</name>
    <message>
        <source>不是网站地址：%1</source>
        <translation>not a site address: %1</translation>
    </message>
    <message>
        <source>只能使用 http 或 https 网站，不能使用 %1：%2</source>
        <translation>only http and https sites can be used, not %1: %2</translation>
    </message>
</context>
<context>
    <name>lumora::app::Program</name>
    <message>
        <source>学习进度未能保存（%1）：%2。请腾出磁盘空间或关闭占用该文件的程序；程序会不断重试。</source>
        <translation>Study progress could not be saved (%1): %2. Free some disk space or close the program that holds the file; the program keeps trying.</translation>
    </message>
</context>
<context>
    <name>lumora::app::RecordSettingsTexts</name>
    <message>
        <source>学习记录页地址</source>
        <translation>Study record page address</translation>
    </message>
    <message>
        <source>网站“学习记录”页的地址（以 http:// 或 https:// 开头；留空则由程序在课程页上查找）：</source>
        <translation>The address of the site&apos;s study record page (starting with http:// or https://; leave empty for the program to look for it on the course page):</translation>
    </message>
    <message>
        <source>未能保存设置。</source>
        <translation>The settings could not be saved.</translation>
    </message>
    <message>
        <source>不是网站地址：%1</source>
        <translation>Not a web address: %1</translation>
    </message>
</context>
<context>
    <name>lumora::app::SingleCopyTexts</name>
    <message>
        <source>程序正在运行，请检查窗口是否被最小化。</source>
        <translation>The program is already running. Check whether its window is minimised.</translation>
    </message>
</context>
<context>
    <name>lumora::app::SiteAddressTexts</name>
    <message>
        <source>没有保存设置的文件夹</source>
        <translation>there is no folder for the settings</translation>
    </message>
    <message>
        <source>培训网站的地址（以 http:// 或 https:// 开头）：</source>
        <translation>Address of the training site (starting with http:// or https://):</translation>
    </message>
    <message>
        <source>无法使用这个网站地址：%1
请输入以 http:// 或 https:// 开头的网站地址，例如 https://www.example.com</source>
        <translation>This site address cannot be used: %1
Please enter an address starting with http:// or https://, for example https://www.example.com</translation>
    </message>
    <message>
        <source>网站地址已保存：%1</source>
        <translation>Site address saved: %1</translation>
    </message>
    <message>
        <source>未能保存：%1
本次仍使用这个网站地址：%2</source>
        <translation>Not saved: %1
This run still uses this site address: %2</translation>
    </message>
</context>
<context>
    <name>lumora::app::StartWatch</name>
    <message>
        <source>网站暂时无法使用（网站回答 %1）</source>
        <translation>the site is not available for now (it answered %1)</translation>
    </message>
    <message>
        <source>网页意外关闭</source>
        <translation>the page closed unexpectedly</translation>
    </message>
    <message>
        <source>网站拒绝连接</source>
        <translation>the site refused the connection</translation>
    </message>
    <message>
        <source>找不到这个网站（网址有误，或电脑没有连上网络）</source>
        <translation>the site cannot be found (a wrong address, or the computer is not connected to the network)</translation>
    </message>
    <message>
        <source>网站长时间没有响应</source>
        <translation>the site did not answer for a long time</translation>
    </message>
    <message>
        <source>网站的安全证书无效</source>
        <translation>the site&apos;s security certificate is not valid</translation>
    </message>
    <message>
        <source>网站没有响应</source>
        <translation>the site does not answer</translation>
    </message>
    <message>
        <source>无法打开 %1：%2。请检查网络或网站地址（菜单“网站地址…”）。程序每 30 秒自动重试。</source>
        <translation>Cannot open %1: %2. Please check the network or the site address (menu &quot;Site address…&quot;). The program tries again every 30 seconds.</translation>
    </message>
</context>
<context>
    <name>lumora::page::WindowRouting</name>
    <message>
        <source>网站的窗口</source>
        <translation>Site window</translation>
    </message>
</context>
<context>
    <name>lumora::records::DurationTexts</name>
    <message>
        <source>%1 分钟</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>%1 小时 %2 分</source>
        <translation>%1 h %2 min</translation>
    </message>
</context>
<context>
    <name>lumora::records::StateKeeper</name>
    <message>
        <source>学习进度改存于：%1</source>
        <translation>Study progress is now saved in: %1</translation>
    </message>
    <message>
        <source>学习进度文件暂时无法读取（可能正被其他程序使用），读取之前不保存：%1</source>
        <translation>The study progress file cannot be read for now (another program may be using it); nothing is saved until it is read: %1</translation>
    </message>
    <message>
        <source>已读取学习进度：%1</source>
        <translation>Study progress read: %1</translation>
    </message>
    <message>
        <source>无法保存学习进度（%1）：%2</source>
        <translation>Cannot save the study progress (%1): %2</translation>
    </message>
</context>
<context>
    <name>lumora::session::SessionRecovery</name>
    <message>
        <source>%1 秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>登录已失效，正在重新登录</source>
        <translation>The login expired; logging in again</translation>
    </message>
    <message>
        <source>网站拒绝了保存的用户名或密码，学习已暂停。请检查后重新登录，再按“连续学习”。</source>
        <translation>The site refused the saved user name or password, so study is paused. Please check them, log in again and press &quot;Study continuously&quot;.</translation>
    </message>
    <message>
        <source>登录已失效，且没有保存的用户名和密码，学习已暂停。请登录后再按“连续学习”。</source>
        <translation>The login expired and no user name and password are saved, so study is paused. Please log in, then press &quot;Study continuously&quot;.</translation>
    </message>
    <message>
        <source>重新登录未成功，%1后重试</source>
        <translation>Logging in again failed; trying again in %1</translation>
    </message>
    <message>
        <source>该网站登录需要验证码，请在左侧网页上登录，然后按“连续学习”</source>
        <translation>This site asks for a verification code to log in. Please log in on the page on the left, then press &quot;Study continuously&quot;</translation>
    </message>
    <message>
        <source>该网站登录需要拖动滑块验证，请在左侧网页上登录，然后按“连续学习”</source>
        <translation>This site asks you to drag a slider to log in. Please log in on the page on the left, then press &quot;Study continuously&quot;</translation>
    </message>
    <message>
        <source>网站暂时不能登录：%1。%2后重试</source>
        <translation>The site does not take logins for now: %1. Trying again in %2</translation>
    </message>
</context>
<context>
    <name>lumora::session::SiteSession</name>
    <message>
        <source>用户名不能为空！</source>
        <translation>Please enter the user name!</translation>
    </message>
    <message>
        <source>密码不能为空！</source>
        <translation>Please enter the password!</translation>
    </message>
    <message>
        <source>网站没有接受登录，请检查用户名和密码。</source>
        <translation>The site did not accept the login. Please check the user name and password.</translation>
    </message>
    <message>
        <source>网站没有接受登录：%1</source>
        <translation>The site did not accept the login: %1</translation>
    </message>
</context>
<context>
    <name>lumora::study::ProgressTexts</name>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>%1：%2 %3</source>
        <translation>%1: %2 %3</translation>
    </message>
</context>
<context>
    <name>lumora::study::RunPhaseTexts</name>
    <message>
        <source>未在学习</source>
        <translation>Not studying</translation>
    </message>
    <message>
        <source>正在打开课程</source>
        <translation>Opening the course</translation>
    </message>
    <message>
        <source>正在学习</source>
        <translation>Studying</translation>
    </message>
    <message>
        <source>等待网站记下本课学时</source>
        <translation>Waiting for the site to record this lesson&apos;s time</translation>
    </message>
    <message>
        <source>网站已停止计时，等待中</source>
        <translation>The site has stopped counting; waiting</translation>
    </message>
    <message>
        <source>正在重新登录</source>
        <translation>Logging in again</translation>
    </message>
    <message>
        <source>学习已暂停</source>
        <translation>Study paused</translation>
    </message>
    <message>
        <source>学习已结束</source>
        <translation>Study finished</translation>
    </message>
</context>
<context>
    <name>lumora::study::StallWatch</name>
    <message>
        <source>%1 分钟未能计时：%2</source>
        <translation>%1 minutes not counted: %2</translation>
    </message>
    <message>
        <source>课件没有打开</source>
        <translation>the player did not open</translation>
    </message>
    <message>
        <source>课件没有响应</source>
        <translation>the player does not respond</translation>
    </message>
    <message>
        <source>课程列表没有打开</source>
        <translation>the lesson list did not open</translation>
    </message>
    <message>
        <source>课的视频没有播放</source>
        <translation>the lesson&apos;s video did not play</translation>
    </message>
    <message>
        <source>课件在等待学员操作</source>
        <translation>the player is waiting for you</translation>
    </message>
    <message>
        <source>无法连接培训网站</source>
        <translation>cannot reach the training site</translation>
    </message>
    <message>
        <source>培训网站暂时无法服务（维护或故障）</source>
        <translation>the training site is temporarily unavailable (maintenance or a fault)</translation>
    </message>
    <message>
        <source>正在重新登录</source>
        <translation>logging in again</translation>
    </message>
    <message>
        <source>课的页面上没有找到视频</source>
        <translation>no video was found on the lesson&apos;s page</translation>
    </message>
    <message>
        <source>网站的视频暂时无法播放，正在等待网站恢复</source>
        <translation>the site&apos;s videos cannot play for now; waiting for the site to recover</translation>
    </message>
    <message>
        <source>重新载入主页面</source>
        <translation>reloading the main page</translation>
    </message>
    <message>
        <source>重新打开课程列表</source>
        <translation>opening the lesson list again</translation>
    </message>
    <message>
        <source>%1，%2</source>
        <translation>%1; %2</translation>
    </message>
    <message>
        <source>网站响应很慢</source>
        <translation>The site is answering very slowly</translation>
    </message>
</context>
<context>
    <name>lumora::window::CloseQuestionTexts</name>
    <message>
        <source>结束学习并退出</source>
        <translation>End study and quit</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>继续在托盘中学习</source>
        <translation>Keep studying in the tray</translation>
    </message>
    <message>
        <source>正在连续学习。关闭窗口后学习要继续吗？</source>
        <translation>Study is running. Should it go on after the window closes?</translation>
    </message>
</context>
<context>
    <name>lumora::window::MainWindow</name>
    <message>
        <source>此电脑无法播放该网站的视频（MP4 格式），这样的课将无法学习。</source>
        <translation>This computer cannot play the site&apos;s videos (MP4 format); such lessons cannot be studied.</translation>
    </message>
    <message>
        <source>清除缓存</source>
        <translation>Clear cache</translation>
    </message>
    <message>
        <source>学习记录</source>
        <translation>Study record</translation>
    </message>
    <message>
        <source>网站地址…</source>
        <translation>Site address…</translation>
    </message>
    <message>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>课件没有视频时按页面计时</source>
        <translation>Count time by the page when the player has no video</translation>
    </message>
    <message>
        <source>网页</source>
        <translation>Web page</translation>
    </message>
    <message>
        <source>课件</source>
        <translation>Player</translation>
    </message>
    <message>
        <source>操作栏</source>
        <translation>Controls</translation>
    </message>
    <message>
        <source>连续学习</source>
        <translation>Study continuously</translation>
    </message>
    <message>
        <source>退出课件</source>
        <translation>Close player</translation>
    </message>
    <message>
        <source>登录</source>
        <translation>Log in</translation>
    </message>
    <message>
        <source>用户名</source>
        <translation>User name</translation>
    </message>
    <message>
        <source>密  码</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>学习进度</source>
        <translation>Study progress</translation>
    </message>
    <message>
        <source>课程类别</source>
        <translation>Categories</translation>
    </message>
    <message>
        <source>课程列表</source>
        <translation>Lessons</translation>
    </message>
    <message>
        <source>类别链接</source>
        <translation>Category links</translation>
    </message>
    <message>
        <source>学习记录页地址…</source>
        <translation>Study record page address…</translation>
    </message>
</context>
<context>
    <name>lumora::window::MorningView</name>
    <message>
        <source>上次学习各类别的分钟</source>
        <translation>Minutes per category in the last run</translation>
    </message>
    <message>
        <source>以往的学习</source>
        <translation>Earlier runs</translation>
    </message>
    <message>
        <source>学习进度（每课一条：已学的分钟对需学的分钟）</source>
        <translation>Study progress (one bar per lesson: minutes studied against minutes needed)</translation>
    </message>
    <message>
        <source>以往的学习（最近 %1 次，最新的在前）</source>
        <translation>Earlier runs (last %1, newest first)</translation>
    </message>
    <message>
        <source>还没有连续学习的记录。</source>
        <translation>No study run recorded yet.</translation>
    </message>
    <message>
        <source>上次学习：%1，%2</source>
        <translation>Last run: %1, %2</translation>
    </message>
</context>
<context>
    <name>lumora::window::NoticePanel</name>
    <message>
        <source>注意</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>欢迎免费定制远程培训软件</source>
        <translation>Custom distance-training software made free of charge on request</translation>
    </message>
    <message>
        <source>建议分辨率：1440*900以上</source>
        <translation>Recommended resolution: 1440*900 or more</translation>
    </message>
    <message>
        <source>本浏览器是Lumora自动学习型浏览器，专为远程网络培训课程而设计，点击一次鼠标即可从头到尾观看全部课程视频。软件只是学习的辅助工具，请您仍然认真观看每一节课程。</source>
        <translation>This is Lumora, an automatic-study browser made for online training courses: one click plays all the lesson videos from start to end. The program only helps you study; please still watch every lesson carefully.</translation>
    </message>
    <message>
        <source>需要处理</source>
        <translation>Needs your attention</translation>
    </message>
</context>
<context>
    <name>lumora::window::RecordWindow</name>
    <message>
        <source>学习记录</source>
        <translation>Study record</translation>
    </message>
    <message>
        <source>概况</source>
        <translation>Summary</translation>
    </message>
    <message>
        <source>还没有学习记录。</source>
        <translation>Nothing recorded yet.</translation>
    </message>
    <message>
        <source>全部记录</source>
        <translation>Full record</translation>
    </message>
    <message>
        <source>记录文件：%1</source>
        <translation>Record file: %1</translation>
    </message>
    <message>
        <source>导出…</source>
        <translation>Export…</translation>
    </message>
    <message>
        <source>导出学习记录</source>
        <translation>Export the study record</translation>
    </message>
    <message>
        <source>学习记录-%1.txt</source>
        <translation>study-record-%1.txt</translation>
    </message>
    <message>
        <source>文本文件 (*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <source>这个位置不允许保存文件，请换一个位置</source>
        <translation>Files cannot be saved here; please choose another place</translation>
    </message>
    <message>
        <source>无法写入（磁盘可能已满，或文件正被其他程序使用）</source>
        <translation>cannot write (the disk may be full, or another program is using the file)</translation>
    </message>
    <message>
        <source>未能导出：%1</source>
        <translation>Not exported: %1</translation>
    </message>
</context>
<context>
    <name>lumora::window::StudyStatus</name>
    <message>
        <source>学习状态</source>
        <translation>Study status</translation>
    </message>
    <message>
        <source>本课学习进度</source>
        <translation>This lesson&apos;s progress</translation>
    </message>
    <message>
        <source>%v / %m 分钟</source>
        <translation>%v / %m min</translation>
    </message>
    <message>
        <source>学习进度保存失败</source>
        <translation>Study progress not saved</translation>
    </message>
    <message>
        <source>已完成 %1/%2 课</source>
        <translation>%1/%2 lessons finished</translation>
    </message>
    <message>
        <source>预计剩余 %1</source>
        <translation>About %1 left</translation>
    </message>
    <message>
        <source>已完成 %1/%2 课（未与网站核对）</source>
        <translation>%1/%2 lessons done (not checked against the site)</translation>
    </message>
</context>
<context>
    <name>lumora::window::TimetablePicture</name>
    <message>
        <source>全部学完</source>
        <translation>All finished</translation>
    </message>
    <message>
        <source>还需 %1</source>
        <translation>%1 still needed</translation>
    </message>
    <message>
        <source>各课学习进度图</source>
        <translation>Study progress per lesson</translation>
    </message>
    <message>
        <source>已学完的课</source>
        <translation>Finished lessons</translation>
    </message>
    <message>
        <source>还需学的分钟</source>
        <translation>Minutes still needed</translation>
    </message>
    <message>
        <source>%1：已学 %2 / %3 分钟</source>
        <translation>%1: %2 / %3 min studied</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>网站记的分钟</source>
        <translation>Minutes the site counted</translation>
    </message>
    <message>
        <source>本程序记的分钟（未与网站核对）</source>
        <translation>Minutes the program credited (not checked against the site)</translation>
    </message>
    <message>
        <source>%1（网站记了 %2 分钟）</source>
        <translation>%1 (the site counted %2 minutes)</translation>
    </message>
    <message>
        <source>%1（本程序记的）</source>
        <translation>%1 (the program&apos;s own)</translation>
    </message>
</context>
<context>
    <name>lumora::window::TrayIcon</name>
    <message>
        <source>（本课 %1 / %2 分钟）</source>
        <translation>(this lesson %1 / %2 min)</translation>
    </message>
    <message>
        <source>预计剩余 %1</source>
        <translation>About %1 left</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>本类别</source>
        <translation>This category</translation>
    </message>
    <message>
        <source>类别已学完</source>
        <translation>Category finished</translation>
    </message>
    <message>
        <source>%1的课已全部学完。</source>
        <translation>All lessons of %1 are finished.</translation>
    </message>
    <message>
        <source>本次共学习 %1 分钟。</source>
        <translation>%1 minutes studied in this run.</translation>
    </message>
    <message>
        <source>学习已结束</source>
        <translation>Study finished</translation>
    </message>
    <message>
        <source>全部课已学完，</source>
        <translation>All lessons are finished. </translation>
    </message>
    <message>
        <source>学习未能计时</source>
        <translation>Study time not counted</translation>
    </message>
    <message>
        <source>已有 %1 分钟未能计时：%2</source>
        <translation>No time counted for %1 minutes: %2</translation>
    </message>
    <message>
        <source>学习进度未能保存</source>
        <translation>Study progress not saved</translation>
    </message>
    <message>
        <source>请回到窗口处理。</source>
        <translation>Please go back to the window.</translation>
    </message>
    <message>
        <source>学习已暂停</source>
        <translation>Study paused</translation>
    </message>
    <message>
        <source>退出程序</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>隐藏窗口</source>
        <translation>Hide window</translation>
    </message>
    <message>
        <source>显示窗口</source>
        <translation>Show window</translation>
    </message>
    <message>
        <source>网站已停止计时</source>
        <translation>The site has stopped counting</translation>
    </message>
    <message>
        <source>网站恢复计时</source>
        <translation>The site counts again</translation>
    </message>
    <message>
        <source>学习继续。</source>
        <translation>Studying goes on.</translation>
    </message>
</context>
</TS>
