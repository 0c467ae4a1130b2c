<?xml version='1.0' encoding='utf-8'?>
<TS version="2.1" language="zh_CN">
  <context>
    <name>Check</name>
    <message>
      <source>cannot create the capture folder %1: %2</source>
      <translation>无法创建采集文件夹 %1：%2</translation>
    </message>
    <message>
      <source>%1 is not a folder (links are not followed)</source>
      <translation>%1 不是文件夹（不跟随符号链接）</translation>
    </message>
    <message>
      <source>the capture folder %1 is not empty; name a new or an empty folder</source>
      <translation>采集文件夹 %1 不是空的；请指定一个新的或空的文件夹</translation>
    </message>
    <message>
      <source>cannot make the capture folder %1 private: %2</source>
      <translation>无法将采集文件夹 %1 设为仅本人可用：%2</translation>
    </message>
    <message>
      <source>%1 was not loaded: %2</source>
      <translation>%1 未能加载：%2</translation>
    </message>
    <message>
      <source>%1 has no function %2</source>
      <translation>%1 中没有函数 %2</translation>
    </message>
    <message>
      <source>the reader is open</source>
      <translation>读卡器已打开</translation>
    </message>
    <message>
      <source>the reader did not open: is it connected, may this user use it, is the vendor's driver set up?</source>
      <translation>读卡器未能打开：读卡器是否已连接？当前用户是否有权使用？厂商驱动是否已安装？</translation>
    </message>
    <message>
      <source>the ID card was read</source>
      <translation>已读取身份证</translation>
    </message>
    <message>
      <source>no ID card was read: is one on the reader?</source>
      <translation>未读到身份证：读卡器上是否放了身份证？</translation>
    </message>
    <message>
      <source>the social security card was read</source>
      <translation>已读取社保卡</translation>
    </message>
    <message>
      <source>no social security card was read: is one in the reader?</source>
      <translation>未读到社保卡：读卡器中是否插了社保卡？</translation>
    </message>
    <message>
      <source>success; the window does not check this result</source>
      <translation>成功；窗口不检查此结果</translation>
    </message>
    <message>
      <source>not 0, which may report a problem; the window does not check this result and goes on</source>
      <translation>不为 0，可能表示有问题；窗口不检查此结果，继续读卡</translation>
    </message>
    <message>
      <source>  Name: %1</source>
      <translation>  姓名：%1</translation>
    </message>
    <message>
      <source>  Sex: %1</source>
      <translation>  性别：%1</translation>
    </message>
    <message>
      <source>  Ethnic group: %1</source>
      <translation>  民族：%1</translation>
    </message>
    <message>
      <source>  Date of birth: %1</source>
      <translation>  出生日期：%1</translation>
    </message>
    <message>
      <source>  Address: %1</source>
      <translation>  住址：%1</translation>
    </message>
    <message>
      <source>  Citizen identity number: %1</source>
      <translation>  公民身份号码：%1</translation>
    </message>
    <message>
      <source>  Issuing authority: %1</source>
      <translation>  签发机关：%1</translation>
    </message>
    <message>
      <source>  Period of validity: %1</source>
      <translation>  有效期限：%1</translation>
    </message>
    <message>
      <source>  Fingerprint data: %1 bytes</source>
      <translation>  指纹数据：%1 字节</translation>
    </message>
    <message>
      <source>  Photo file: %1</source>
      <translation>  照片文件：%1</translation>
    </message>
    <message>
      <source>(the library named none)</source>
      <translation>（驱动库未给出照片文件）</translation>
    </message>
    <message>
      <source>    not read: missing, unreadable, not a regular file, empty, or over %1 bytes</source>
      <translation>    未读取：文件不存在、无法读取、不是普通文件、为空或超过 %1 字节</translation>
    </message>
    <message>
      <source>    %1 bytes that the window does not show: not a BMP, PNG or JPEG of at most %2 pixels a side</source>
      <translation>    %1 字节，窗口不会显示：不是边长不超过 %2 像素的 BMP、PNG 或 JPEG 图片</translation>
    </message>
    <message>
      <source>    %1, %2 x %3 pixels, %4 bytes</source>
      <translation>    %1，%2 x %3 像素，%4 字节</translation>
    </message>
    <message>
      <source>  The loader looked in these folders, in this order: %1</source>
      <translation>  动态链接器依次查找了这些文件夹：%1</translation>
    </message>
    <message>
      <source>  and, before the system folders, in ldconfig's cache of the folders named in /etc/ld.so.conf.d (run ldconfig after adding a library): %1</source>
      <translation>  在系统文件夹之前，还查找了 ldconfig 缓存中 /etc/ld.so.conf.d 所列的文件夹（添加库文件后请运行 ldconfig）：%1</translation>
    </message>
    <message>
      <source>The capture holds a real person's data: keep it private, delete it when done, and give developers only a capture made with --redact.</source>
      <translation>采集数据包含真实个人信息：请妥善保管，用完即删；交给开发人员的只能是用 --redact 生成的采集数据。</translation>
    </message>
    <message>
      <source>loading the driver libraries</source>
      <translation>加载驱动库</translation>
    </message>
    <message>
      <source>opening the reader</source>
      <translation>打开读卡器</translation>
    </message>
    <message>
      <source>reading the ID card</source>
      <translation>读取身份证</translation>
    </message>
    <message>
      <source>showing the photo</source>
      <translation>显示照片</translation>
    </message>
    <message>
      <source>reading the social security card</source>
      <translation>读取社保卡</translation>
    </message>
    <message>
      <source>writing the capture</source>
      <translation>写入采集数据</translation>
    </message>
    <message>
      <source>Result: everything was read (exit code 0).</source>
      <translation>结果：全部读取成功（退出码 0）。</translation>
    </message>
    <message>
      <source>Result: %1 failed (exit code %2).</source>
      <translation>结果：%1失败（退出码 %2）。</translation>
    </message>
    <message>
      <source>No capture: %1.</source>
      <translation>未采集：%1。</translation>
    </message>
    <message>
      <source>Driver libraries:</source>
      <translation>驱动库：</translation>
    </message>
    <message>
      <source>ID card read:</source>
      <translation>读取身份证：</translation>
    </message>
    <message>
      <source>Social security card read:</source>
      <translation>读取社保卡：</translation>
    </message>
    <message>
      <source>  Text: %1</source>
      <translation>  文本：%1</translation>
    </message>
    <message>
      <source>Checks a card reader machine: loads the reader's driver libraries, reads the ID card and the social security card as idcardshow does, and says what each step returned.

Exit codes: 0 everything was read; 1 a driver library or function is missing; 2 the reader did not open; 3 no ID card was read; 4 the photo cannot be shown; 5 no social security card was read; 6 the capture was refused or not written; 64 wrong options.</source>
      <translation>检查读卡机：加载读卡器驱动库，像 idcardshow 一样读取身份证和社保卡，并说明每一步的返回值。

退出码：0 全部读取成功；1 缺少驱动库或函数；2 读卡器未能打开；3 未读到身份证；4 照片无法显示；5 未读到社保卡；6 采集被拒绝或未能写入；64 选项错误。</translation>
    </message>
    <message>
      <source>Show the card's data unmasked.</source>
      <translation>显示未遮盖的卡片数据。</translation>
    </message>
    <message>
      <source>Also write what the driver returned into FOLDER (new or empty), for replay with KESTREL_SIM=replay:FOLDER.</source>
      <translation>同时把驱动返回的数据写入 FOLDER（新的或空的文件夹），以便用 KESTREL_SIM=replay:FOLDER 重现。</translation>
    </message>
    <message>
      <source>With --capture: replace the holder's personal data with fictional values.</source>
      <translation>与 --capture 一起使用：把持卡人的个人信息替换为虚构数据。</translation>
    </message>
    <message>
      <source>Use --redact with --capture, and give no other arguments.</source>
      <translation>--redact 须与 --capture 一起使用，且不接受其他参数。</translation>
    </message>
    <message>
      <source>the capture folder %1 belongs to another user; name a folder of your own</source>
      <translation>采集文件夹 %1 属于其他用户；请指定一个属于您自己的文件夹</translation>
    </message>
    <message>
      <source>cannot create a temporary folder in it: %1</source>
      <translation>无法在其中创建临时文件夹：%1</translation>
    </message>
    <message>
      <source>writing %1 failed: %2</source>
      <translation>写入 %1 失败：%2</translation>
    </message>
    <message>
      <source>moving %1 into place failed: %2</source>
      <translation>将 %1 移入采集文件夹失败：%2</translation>
    </message>
    <message>
      <source>name</source>
      <translation>姓名</translation>
    </message>
    <message>
      <source>sex</source>
      <translation>性别</translation>
    </message>
    <message>
      <source>ethnic group</source>
      <translation>民族</translation>
    </message>
    <message>
      <source>date of birth</source>
      <translation>出生日期</translation>
    </message>
    <message>
      <source>address</source>
      <translation>住址</translation>
    </message>
    <message>
      <source>citizen number</source>
      <translation>公民身份号码</translation>
    </message>
    <message>
      <source>issuing authority</source>
      <translation>签发机关</translation>
    </message>
    <message>
      <source>start of validity</source>
      <translation>有效期起始日期</translation>
    </message>
    <message>
      <source>end of validity</source>
      <translation>有效期截止日期</translation>
    </message>
    <message>
      <source>social security text</source>
      <translation>社保卡文本</translation>
    </message>
    <message>
      <source>, </source>
      <comment>between the items of a list</comment>
      <translation>、</translation>
    </message>
    <message>
      <source>Replaced by fictional values of the same byte lengths: %1.</source>
      <translation>已替换为字节长度相同的虚构数据：%1。</translation>
    </message>
    <message>
      <source>Kept as read, as each holds only a valid code, name or date: %1.</source>
      <translation>原样保留（每项只含有效的代码、名称或日期）：%1。</translation>
    </message>
    <message>
      <source>Set to zero: the fingerprint data and every byte of the record the program does not read.</source>
      <translation>已清零：指纹数据，以及记录中程序不读取的所有字节。</translation>
    </message>
    <message>
      <source>Left out: the photo file, which is no card photo the window shows.</source>
      <translation>未采集：照片文件，它不是窗口能显示的证件照片。</translation>
    </message>
    <message>
      <source>The photo was replaced by a plain grey picture of the same format and pixel size.</source>
      <translation>照片已替换为格式和像素尺寸相同的纯灰色图片。</translation>
    </message>
    <message>
      <source>No capture was written: nothing was read from a card; %1 is empty.</source>
      <translation>未写入采集数据：没有从卡片读到任何数据；%1 是空的。</translation>
    </message>
    <message>
      <source>The capture failed: %1. These files in %2 could not be removed and hold the card's data: %3. Delete them.</source>
      <translation>采集失败：%1。%2 中的以下文件无法删除，其中含有卡片数据：%3。请将其删除。</translation>
    </message>
    <message>
      <source>No capture was kept: %1. Nothing of the card was left in %2.</source>
      <translation>未保留采集数据：%1。%2 中没有留下卡片的任何数据。</translation>
    </message>
    <message>
      <source>Capture written to %1: %2. KESTREL_SIM=replay:%1 shows it with the simulated reader.</source>
      <translation>采集数据已写入 %1：%2。用 KESTREL_SIM=replay:%1 可在模拟读卡器上重现。</translation>
    </message>
    <message>
      <source>--capture needs the name of a folder.</source>
      <translation>--capture 需要一个文件夹名。</translation>
    </message>
  </context>
  <context>
    <name>QCommandLineParser</name>
    <message>
      <source>Displays help on commandline options.</source>
      <translation>显示命令行选项的帮助。</translation>
    </message>
    <message>
      <source>Displays help including Qt specific options.</source>
      <translation>显示帮助，包括 Qt 专用选项。</translation>
    </message>
    <message>
      <source>Displays version information.</source>
      <translation>显示版本信息。</translation>
    </message>
    <message>
      <source>Usage: %1</source>
      <translation>用法：%1</translation>
    </message>
    <message>
      <source>Options:</source>
      <translation>选项：</translation>
    </message>
    <message>
      <source>Arguments:</source>
      <translation>参数：</translation>
    </message>
    <message>
      <source>[options]</source>
      <translation>[选项]</translation>
    </message>
    <message>
      <source>Unknown option '%1'.</source>
      <translation>未知选项“%1”。</translation>
    </message>
    <message>
      <source>Unknown options: %1.</source>
      <translation>未知选项：%1。</translation>
    </message>
    <message>
      <source>Missing value after '%1'.</source>
      <translation>“%1”后缺少值。</translation>
    </message>
  </context>
</TS>