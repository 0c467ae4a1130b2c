<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Check</name>
    <message>
        <source>cannot create the capture folder %1: %2</source>
        <translation>无法创建采集目录 %1：%2</translation>
    </message>
    <message>
        <source>%1 is not a folder (links are not followed)</source>
        <translation>%1 不是目录（不跟随符号链接）</translation>
    </message>
    <message>
        <source>the capture folder %1 is not empty; name a new or an empty folder</source>
        <translation>采集目录 %1 不是空的；请指定一个新的或空的目录</translation>
    </message>
    <message>
        <source>cannot make the capture folder %1 private: %2</source>
        <translation>无法将采集目录 %1 设为仅本人可用：%2</translation>
    </message>
    <message>
        <source>%1 was not loaded: %2</source>
        <translation>%1 未能加载：%2</translation>
    </message>
    <message>
        <source>the reader is open</source>
        <translation>读卡器已打开</translation>
    </message>
    <message>
        <source>the reader did not open: is it connected, may this user use it, is the vendor&apos;s driver set up?</source>
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
        <source>  The loader looked in these folders, in this order: %1</source>
        <translation>  动态链接器依次查找了这些目录：%1</translation>
    </message>
    <message>
        <source>The capture holds a real person&apos;s data: keep it private, delete it when done, and give developers only a capture made with --redact.</source>
        <translation>采集数据包含真实个人信息：请妥善保管，用完即删；交给开发人员的只能是用 --redact 脱敏的采集数据。</translation>
    </message>
    <message>
        <source>loading the driver libraries failed</source>
        <translation>加载驱动库失败</translation>
    </message>
    <message>
        <source>opening the reader failed</source>
        <translation>打开读卡器失败</translation>
    </message>
    <message>
        <source>reading the ID card failed</source>
        <translation>读取身份证失败</translation>
    </message>
    <message>
        <source>showing the photo failed</source>
        <translation>显示照片失败</translation>
    </message>
    <message>
        <source>reading the social security card failed</source>
        <translation>读取社保卡失败</translation>
    </message>
    <message>
        <source>writing the capture failed</source>
        <translation>写入采集数据失败</translation>
    </message>
    <message>
        <source>Result: everything was read (exit code 0).</source>
        <translation>结果：全部读取成功（退出码 0）。</translation>
    </message>
    <message>
        <source>Result: %1 (exit code %2).</source>
        <translation>结果：%1（退出码 %2）。</translation>
    </message>
    <message>
        <source>No capture: %1.</source>
        <translation>无法采集：%1。</translation>
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
        <source>  SAM ID: %1</source>
        <translation>  安全模块号（SAM ID）：%1</translation>
    </message>
    <message>
        <source>(none)</source>
        <translation>（无）</translation>
    </message>
    <message>
        <source>  Text: %1</source>
        <translation>  文本：%1</translation>
    </message>
    <message>
        <source>Show the version.</source>
        <translation>显示版本信息。</translation>
    </message>
    <message>
        <source>Show the card&apos;s data unmasked.</source>
        <translation>显示未遮盖的卡片数据。</translation>
    </message>
    <message>
        <source>Also write what the driver returned into FOLDER (new or empty), for replay with KESTREL_SIM=replay:FOLDER.</source>
        <translation>同时把驱动返回的数据写入&lt;目录&gt;（须为新的或空的目录），以便用 KESTREL_SIM=replay:&lt;目录&gt; 重现。</translation>
    </message>
    <message>
        <source>With --capture: replace the holder&apos;s personal data with fictional values.</source>
        <translation>与 --capture 一起使用：对采集数据脱敏，把持卡人的个人信息替换为虚构数据。</translation>
    </message>
    <message>
        <source>%1 bytes</source>
        <translation>%1 字节</translation>
    </message>
    <message>
        <source>    %1 that the window does not show: it shows BMP, PNG and JPEG pictures of at most %2 pixels a side</source>
        <translation>    %1，窗口不会显示：窗口只显示边长最多 %2 像素的 BMP、PNG 和 JPEG 图片</translation>
    </message>
    <message>
        <source>    %1, %2 × %3 pixels, %4</source>
        <translation>    %1，%2 × %3 像素，%4</translation>
    </message>
    <message>
        <source>  and, before the system folders, in ldconfig&apos;s cache of the folders named in /etc/ld.so.conf and the *.conf files of /etc/ld.so.conf.d (run `sudo ldconfig` after adding a library): %1</source>
        <translation>  在系统目录之前，还查找了 ldconfig 缓存中 /etc/ld.so.conf 及 /etc/ld.so.conf.d 下各 *.conf 文件所列的目录（添加库文件后请运行 `sudo ldconfig`）：%1</translation>
    </message>
    <message>
        <source>machine number %1</source>
        <translation>机器类型编号 %1</translation>
    </message>
    <message>
        <source>%1 has no SONAME, and the loader looks only for %2: ask the vendor for a library whose SONAME is %2, or give it that name with `sudo ln -s %3 %4`. `readelf -d %1` shows the SONAME.</source>
        <translation>%1 没有 SONAME，而动态链接器只查找 %2：请向厂商索取 SONAME 为 %2 的库，或用 `sudo ln -s %3 %4` 给它这个名字。用 `readelf -d %1` 可查看 SONAME。</translation>
    </message>
    <message>
        <source>%1 has the SONAME %2, but no file %2 is beside it: `sudo ldconfig` makes that link in the folders ldconfig knows, or `sudo ln -s %3 %4` makes it here.</source>
        <translation>%1 的 SONAME 是 %2，但同一目录中没有名为 %2 的文件：`sudo ldconfig` 会在它管理的目录中建立这个链接，也可以用 `sudo ln -s %3 %4` 在这里建立。</translation>
    </message>
    <message>
        <source>%1 has the SONAME %2, but the program needs %3: it is another version of the library; ask the vendor for %3.</source>
        <translation>%1 的 SONAME 是 %2，而程序需要 %3：这是该库的另一个版本，请向厂商索取 %3。</translation>
    </message>
    <message>
        <source>%1 needs %2, which the loader did not find: install it as the vendor says. `ldd %1` lists what the library needs and marks what is missing &quot;not found&quot;.</source>
        <translation>%1 依赖的 %2 未被动态链接器找到：请按厂商的说明安装它。`ldd %1` 列出该库依赖的库，缺少的标为“not found”。</translation>
    </message>
    <message>
        <source>%1 is in a folder named in ldconfig&apos;s configuration, but ldconfig&apos;s cache does not list it: run `sudo ldconfig`. `/sbin/ldconfig -p | grep %2` shows the cache.</source>
        <translation>%1 所在的目录已写入 ldconfig 的配置，但 ldconfig 的缓存中还没有它：请运行 `sudo ldconfig`。用 `/sbin/ldconfig -p | grep %2` 可查看缓存。</translation>
    </message>
    <message>
        <source>%1 cannot be read by this user: `ls -l %1` shows its owner and mode.</source>
        <translation>当前用户无法读取 %1：用 `ls -l %1` 可查看其属主和权限。</translation>
    </message>
    <message>
        <source>%1 is a link to %2, which does not exist: copy the vendor&apos;s library there, or make the link again. `ls -l %1` shows where it points.</source>
        <translation>%1 是指向 %2 的链接，而 %2 不存在：请把厂商的库复制到那里，或重新建立链接。用 `ls -l %1` 可查看它指向哪里。</translation>
    </message>
    <message>
        <source>%1 is a folder, not a library: the vendor&apos;s library file belongs in its place.</source>
        <translation>%1 是一个目录，不是库文件：这里应当放厂商的库文件。</translation>
    </message>
    <message>
        <source>%1 is not a shared library: `file %1` says what it is.</source>
        <translation>%1 不是共享库：用 `file %1` 可查看它是什么文件。</translation>
    </message>
    <message>
        <source>%1 is a %2-bit library, but this machine&apos;s programs are %3-bit: ask the vendor for the %3-bit %4 library. `file %1` shows this.</source>
        <translation>%1 是 %2 位的库，而本机的程序是 %3 位的：请向厂商索取 %3 位 %4 版本的库。用 `file %1` 可以查看。</translation>
    </message>
    <message>
        <source>%1 is built for %2, but this machine is %3: ask the vendor for the %3 library. `file %1` shows this.</source>
        <translation>%1 是为 %2 编译的，而本机是 %3：请向厂商索取 %3 版本的库。用 `file %1` 可以查看。</translation>
    </message>
    <message>
        <source>No file whose name begins with %1 is in the folders below.</source>
        <translation>下列目录中没有文件名以 %1 开头的文件。</translation>
    </message>
    <message>
        <source>%1 has no function %2: it is another version of the driver than the one the program needs; ask the vendor for one that has it. `nm -D %3` lists the library&apos;s functions.</source>
        <translation>%1 中没有函数 %2：这个驱动库的版本与程序所需的不同，请向厂商索取含有该函数的版本。用 `nm -D %3` 可列出库中的函数。</translation>
    </message>
    <message>
        <source>  %1: the project&apos;s simulated reader (package idcardshow-simdriver), not the vendor&apos;s driver; it shows a fictional card. On a reader machine, remove it with `sudo apt-get remove idcardshow-simdriver` and install the vendor&apos;s libraries.</source>
        <translation>  %1：这是本项目的模拟读卡器（软件包 idcardshow-simdriver），不是厂商的驱动，显示的是虚构的卡片。在读卡终端上请用 `sudo apt-get remove idcardshow-simdriver` 卸载它，并安装厂商的驱动库。</translation>
    </message>
    <message>
        <source>  The check ran as root, so the device&apos;s permissions are not the cause: check the cable and that the vendor&apos;s driver is installed as the vendor says.</source>
        <translation>  本次检查以 root 身份运行，原因不在设备权限：请检查连线，并确认已按厂商的说明安装驱动。</translation>
    </message>
    <message>
        <source>  The check ran as user %1 (uid %2). Run it as the user who runs the window, without sudo, then once with sudo: if only root opens the reader, that user may not use the device (`id` shows the user&apos;s groups, `ls -l` on the vendor&apos;s device node its owner and mode); if root cannot open it either, check the cable and the vendor&apos;s driver.</source>
        <translation>  本次检查以用户 %1（uid %2）身份运行。请以运行窗口的用户身份、不加 sudo 运行本工具，再加 sudo 运行一次：如果只有 root 能打开读卡器，说明该用户无权使用设备（`id` 显示该用户所在的组，对厂商说明的设备节点运行 `ls -l` 可查看其属主和权限）；如果 root 也打不开，请检查连线和厂商驱动。</translation>
    </message>
    <message>
        <source>Unexpected argument: %1.</source>
        <translation>多余的参数：%1。</translation>
    </message>
    <message>
        <source>--redact works only with --capture FOLDER.</source>
        <translation>--redact 只能与 --capture &lt;目录&gt; 一起使用。</translation>
    </message>
    <message>
        <source>Show the options and exit codes.</source>
        <translation>显示选项和退出码。</translation>
    </message>
    <message>
        <source>FOLDER</source>
        <translation>目录</translation>
    </message>
    <message>
        <source>Run `idcardshow-check --help` for the options.</source>
        <translation>运行 `idcardshow-check --help` 可查看选项。</translation>
    </message>
    <message>
        <source>the capture folder %1 belongs to another user; name a folder of your own</source>
        <translation>采集目录 %1 属于其他用户；请指定一个属于您自己的目录</translation>
    </message>
    <message>
        <source>cannot create a temporary folder in it: %1</source>
        <translation>无法在其中创建临时目录：%1</translation>
    </message>
    <message>
        <source>writing %1 failed: %2</source>
        <translation>写入 %1 失败：%2</translation>
    </message>
    <message>
        <source>moving %1 into place failed: %2</source>
        <translation>将 %1 移入采集目录失败：%2</translation>
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
        <translation>未写入：照片文件，它不是窗口能显示的证件照片。</translation>
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
        <source>The capture failed: %1. These files in %2 could not be removed and hold the card&apos;s data: %3. Delete them.</source>
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
        <translation>--capture 需要一个目录名。</translation>
    </message>
    <message>
        <source>before the libraries were loaded</source>
        <translation>在加载驱动库之前</translation>
    </message>
    <message>
        <source>while loading %1</source>
        <translation>在加载 %1 时</translation>
    </message>
    <message>
        <source>after loading %1</source>
        <translation>在加载 %1 之后</translation>
    </message>
    <message>
        <source>during %1</source>
        <translation>在调用 %1 时</translation>
    </message>
    <message>
        <source>after %1 returned</source>
        <translation>在 %1 返回之后</translation>
    </message>
    <message>
        <source>standard input (descriptor 0)</source>
        <translation>标准输入（描述符 0）</translation>
    </message>
    <message>
        <source>standard output (descriptor 1)</source>
        <translation>标准输出（描述符 1）</translation>
    </message>
    <message>
        <source>standard error (descriptor 2)</source>
        <translation>标准错误（描述符 2）</translation>
    </message>
    <message>
        <source>  %1 = %2: %3 (%4; %5)</source>
        <translation>  %1 = %2：%3（%4；%5）</translation>
    </message>
    <message>
        <source>  %1 = %2: %3 (%4)</source>
        <translation>  %1 = %2：%3（%4）</translation>
    </message>
    <message>
        <source>    cannot be opened: %1</source>
        <translation>    无法打开：%1</translation>
    </message>
    <message>
        <source>    not a regular file, but a folder, a FIFO or a device</source>
        <translation>    不是普通文件，而是目录、FIFO 或设备</translation>
    </message>
    <message>
        <source>    larger than %1, which no card photo is</source>
        <translation>    大于 %1，不可能是证件照片</translation>
    </message>
    <message>
        <source>    cannot be read: %1</source>
        <translation>    无法读取：%1</translation>
    </message>
    <message>
        <source>    empty</source>
        <translation>    文件为空</translation>
    </message>
    <message>
        <source>    a relative path, resolved against the working folder %1, which the library chose</source>
        <translation>    这是相对路径，相对于驱动库自己选定的工作目录 %1</translation>
    </message>
    <message>
        <source>    a relative path, resolved against the working folder %1: the window finds the file only when started in the folder the library means, and a window started from the desktop menu starts in the user&apos;s home folder. Ask the vendor how to make the library name an absolute path.</source>
        <translation>    这是相对路径，相对于工作目录 %1：只有在驱动库所指的目录中启动窗口，窗口才能找到该文件，而从桌面菜单启动的窗口以用户的主目录为工作目录。请向厂商询问如何让驱动库给出绝对路径。</translation>
    </message>
    <message>
        <source>    It belongs to root, perhaps left by a run with sudo: `sudo chown` gives it back to the window&apos;s user.</source>
        <translation>    该文件属于 root，可能是用 sudo 运行时留下的：用 `sudo chown` 把它还给运行窗口的用户。</translation>
    </message>
    <message>
        <source>  %1 is found only through LD_LIBRARY_PATH: a window started from the desktop menu has no LD_LIBRARY_PATH and will not find it.</source>
        <translation>  %1 只能通过 LD_LIBRARY_PATH 找到：从桌面菜单启动的窗口没有 LD_LIBRARY_PATH，找不到它。</translation>
    </message>
    <message>
        <source>  Install the vendor&apos;s libraries, and every library they need, in /usr/local/lib or in a folder named in a .conf file in /etc/ld.so.conf.d/, run `sudo ldconfig`, and see what a window started from the menu sees with `env -u LD_LIBRARY_PATH idcardshow-check`.</source>
        <translation>  请把厂商的驱动库及其依赖的所有库安装到 /usr/local/lib，或安装到在 /etc/ld.so.conf.d/ 下以 .conf 结尾的文件中登记的目录，运行 `sudo ldconfig`，再用 `env -u LD_LIBRARY_PATH idcardshow-check` 查看从菜单启动的窗口能找到什么。</translation>
    </message>
    <message>
        <source>  Send the vendor this output (the card&apos;s data in it stays masked), the backtrace, and the library&apos;s files with their versions.</source>
        <translation>  请把这段输出（其中的卡片数据已遮盖）、调用栈（backtrace）以及驱动库文件及其版本发给厂商。</translation>
    </message>
    <message>
        <source>  The check could not start the process that runs the vendor&apos;s library: %1.</source>
        <translation>  检查工具无法启动运行厂商驱动库的进程：%1。</translation>
    </message>
    <message>
        <source>  The vendor&apos;s library ended the process %1 with %2, which is no crash: its own alarm, a write to a closed pipe, a resource limit or a signal it sent itself.</source>
        <translation>  厂商的驱动库%1以%2结束了进程，这不是崩溃：是它自己设的定时器、向已关闭的管道写入、资源限制，或它向自己发送的信号。</translation>
    </message>
    <message>
        <source>  The process that runs the vendor&apos;s library crashed %1: %2.</source>
        <translation>  运行厂商驱动库的进程%1崩溃：%2。</translation>
    </message>
    <message>
        <source>  To see where it crashed, run the check under gdb, which stops at the crash (core files are off on purpose, as they would hold the card&apos;s data): gdb -batch -ex &apos;set follow-fork-mode child&apos; -ex run -ex bt --args idcardshow-check</source>
        <translation>  要查看崩溃的位置，请在 gdb 中运行检查工具，gdb 会停在崩溃处（程序有意不生成 core 文件，因为其中会含有卡片数据）：gdb -batch -ex &apos;set follow-fork-mode child&apos; -ex run -ex bt --args idcardshow-check</translation>
    </message>
    <message>
        <source>  The vendor&apos;s library ended the process %1, with exit status %2: it called exit or _exit, maybe from a crash handler of its own, and the read did not finish.</source>
        <translation>  厂商的驱动库%1结束了进程，退出状态为 %2：它调用了 exit 或 _exit（可能在它自己的崩溃处理函数中），读卡没有完成。</translation>
    </message>
    <message>
        <source>  To see where it ended the process: gdb -batch -ex &apos;set follow-fork-mode child&apos; -ex &apos;catch syscall exit_group&apos; -ex run -ex bt --args idcardshow-check</source>
        <translation>  要查看它在哪里结束了进程：gdb -batch -ex &apos;set follow-fork-mode child&apos; -ex &apos;catch syscall exit_group&apos; -ex run -ex bt --args idcardshow-check</translation>
    </message>
    <message>
        <source>  Loading %1 did not finish within %2 s: the check stopped it.</source>
        <translation>  加载 %1 在 %2 秒内没有完成：已终止运行驱动库的进程。</translation>
    </message>
    <message>
        <source>  %1 did not return within %2 s: the check stopped it.</source>
        <translation>  %1 在 %2 秒内没有返回：已终止运行驱动库的进程。</translation>
    </message>
    <message>
        <source>  The process that runs the vendor&apos;s library reported nothing for %1 s %2: the check stopped it.</source>
        <translation>  运行厂商驱动库的进程%2有 %1 秒没有报告：已终止运行驱动库的进程。</translation>
    </message>
    <message>
        <source>  The process did not end when killed: it waits inside the kernel, as in a USB transfer that never ends, and goes only when the device lets go. Unplug the reader.</source>
        <translation>  进程被终止后仍未结束：它在内核中等待（例如一次永不结束的 USB 传输），要等设备释放它才会结束。请拔下读卡器。</translation>
    </message>
    <message>
        <source>  A reader that is only slow needs a longer --timeout. To see where the library waits, run `idcardshow-check --timeout 600` and meanwhile, in another terminal, `sudo gdb -batch -p $(pgrep -n -f idcardshow-check) -ex &apos;thread apply all bt&apos;`.</source>
        <translation>  读卡器只是慢的话，请加大 --timeout。要查看驱动库卡在哪里，请运行 `idcardshow-check --timeout 600`，同时在另一个终端中运行 `sudo gdb -batch -p $(pgrep -n -f idcardshow-check) -ex &apos;thread apply all bt&apos;`。</translation>
    </message>
    <message>
        <source>  The reports of the process that runs the vendor&apos;s library became garbled %1: the library wrote into the check&apos;s channel. The check stopped it.</source>
        <translation>  运行厂商驱动库的进程发来的报告%1变成了乱码：驱动库向检查工具的通道写入了数据。已终止运行驱动库的进程。</translation>
    </message>
    <message>
        <source>  The vendor&apos;s library closed the check&apos;s channel %1, or put another file in its place; the check could not follow the read further.</source>
        <translation>  厂商的驱动库%1关闭了检查工具的通道，或用其他文件占用了它；检查工具无法继续跟踪读卡过程。</translation>
    </message>
    <message>
        <source>the vendor&apos;s library crashed or ended abnormally</source>
        <translation>厂商驱动库崩溃或异常结束</translation>
    </message>
    <message>
        <source>the vendor&apos;s library did not return in time</source>
        <translation>厂商驱动库调用超时未返回</translation>
    </message>
    <message>
        <source>a driver library is found only through LD_LIBRARY_PATH</source>
        <translation>驱动库只能通过 LD_LIBRARY_PATH 找到</translation>
    </message>
    <message>
        <source>  %1: %2, loaded in %3</source>
        <translation>  %1：%2，加载用时 %3</translation>
    </message>
    <message>
        <source>  The vendor&apos;s library closed %1 %2.</source>
        <translation>  厂商的驱动库%2关闭了%1。</translation>
    </message>
    <message>
        <source>  The vendor&apos;s library put another file on %1 %2.</source>
        <translation>  厂商的驱动库%2把%1换成了另一个文件。</translation>
    </message>
    <message>
        <source>  A program then writes its messages into whatever file takes the number next. The window and the check put /dev/null on a closed standard descriptor; the vendor should make the library leave them alone.</source>
        <translation>  此后程序的信息会写进下一个占用该编号的文件。窗口和检查工具会在被关闭的标准描述符上打开 /dev/null；厂商应当让驱动库不去关闭它们。</translation>
    </message>
    <message>
        <source>  The library wrote %1 more to its standard output, which the check does not show.</source>
        <translation>  驱动库向标准输出又写了 %1，检查工具不再显示。</translation>
    </message>
    <message>
        <source>  The library wrote %1 more to its standard error, which the check does not show.</source>
        <translation>  驱动库向标准错误又写了 %1，检查工具不再显示。</translation>
    </message>
    <message>
        <source>  [library stdout] %1</source>
        <translation>  [驱动库 stdout] %1</translation>
    </message>
    <message>
        <source>  [library stderr] %1</source>
        <translation>  [驱动库 stderr] %1</translation>
    </message>
    <message>
        <source>    %1  %2 %3 %4: %5</source>
        <translation>    %1  %2 %3 %4：%5</translation>
    </message>
    <message>
        <source>this user may open it for reading and writing</source>
        <translation>当前用户可读写</translation>
    </message>
    <message>
        <source>this user may not open it for reading and writing</source>
        <translation>当前用户不可读写</translation>
    </message>
    <message>
        <source>  No device node a reader uses is there (/dev/ttyUSB*, /dev/ttyACM*, /dev/hidraw*, /dev/bus/usb/*/*): is the reader plugged in? `lsusb` lists the USB devices.</source>
        <translation>  未找到读卡器可能使用的设备节点（/dev/ttyUSB*、/dev/ttyACM*、/dev/hidraw*、/dev/bus/usb/*/*）：读卡器插好了吗？用 `lsusb` 可列出 USB 设备。</translation>
    </message>
    <message>
        <source>  Device nodes a reader may use:</source>
        <translation>  读卡器可能使用的设备节点：</translation>
    </message>
    <message>
        <source>    and %1 more</source>
        <translation>    以及另外 %1 个</translation>
    </message>
    <message>
        <source>  This user&apos;s groups: %1.</source>
        <translation>  当前用户所在的组：%1。</translation>
    </message>
    <message>
        <source>  A serial reader (ttyUSB, ttyACM) belongs to the group dialout: add the window&apos;s user to it (`sudo usermod -aG dialout %1`, then log in again).</source>
        <translation>  串口读卡器（ttyUSB、ttyACM）的设备节点属于 dialout 组：把运行窗口的用户加入该组（`sudo usermod -aG dialout %1`，然后重新登录）。</translation>
    </message>
    <message>
        <source>  A USB reader (/dev/bus/usb) is writable by root alone and a HID reader (hidraw) open to root alone, whatever groups the user is in, until a udev rule gives them to the user: install the vendor&apos;s rule, or write /etc/udev/rules.d/70-idcard-reader.rules for the VID:PID that `lsusb` shows (a template is under READER DEVICES in `man idcardshow-check`), run `sudo udevadm control --reload` and `sudo udevadm trigger`, and unplug the reader and plug it in again.</source>
        <translation>  USB 读卡器（/dev/bus/usb）只有 root 可写，HID 读卡器（hidraw）只有 root 可读写，把用户加入哪个组都不起作用，除非有 udev 规则把它们交给该用户：安装厂商的 udev 规则，或者按 `lsusb` 显示的 VID:PID 编写 /etc/udev/rules.d/70-idcard-reader.rules（模板见 `man idcardshow-check` 的“读卡器设备”一节），然后运行 `sudo udevadm control --reload` 和 `sudo udevadm trigger`，再拔下读卡器重新插上。</translation>
    </message>
    <message>
        <source>  The library was not allowed to open something, most likely the reader&apos;s device node (%1).</source>
        <translation>  驱动库无权打开某个文件，最可能是读卡器的设备节点（%1）。</translation>
    </message>
    <message>
        <source>  A run with sudo may leave files owned by root in the vendor&apos;s photo folder, which the window&apos;s user then cannot replace: look with `ls -l` afterwards and give them back with `sudo chown`.</source>
        <translation>  用 sudo 运行可能在厂商的照片目录中留下属于 root 的文件，运行窗口的用户之后无法覆盖它们：运行后用 `ls -l` 查看，并用 `sudo chown` 改回属主。</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 毫秒</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 秒</translation>
    </message>
    <message>
        <source>errno %1: %2</source>
        <translation>errno %1：%2</translation>
    </message>
    <message>
        <source>signal %1 (%2)</source>
        <translation>信号 %1（%2）</translation>
    </message>
    <message>
        <source>signal %1</source>
        <translation>信号 %1</translation>
    </message>
    <message>
        <source>Wait at most SECONDS (1 to %1, default %2) for the loading of each library and for each call before taking it as hung and stopping it.</source>
        <translation>加载每个库和每次调用最多等待&lt;秒数&gt;（1 到 %1，默认 %2），超过即认为无响应，终止运行驱动库的进程。</translation>
    </message>
    <message>
        <source>SECONDS</source>
        <translation>秒数</translation>
    </message>
    <message>
        <source>Checks a card reader machine: loads the reader&apos;s driver libraries, reads the ID card and the social security card as idcardshow does, and says what each step returned and how long it took. The vendor&apos;s libraries run in a process of their own, so that the check can say which library or call crashed, ended the process or did not return.

Exit codes: 0 everything was read; 1 a driver library did not load or lacks a function; 2 the reader did not open; 3 no ID card was read; 4 the photo cannot be shown; 5 no social security card was read; 6 no capture could be made, or it was not written; 7 the vendor&apos;s library crashed, ended or stopped the process, wrote past the end of a buffer, forked a copy that went on, used up the open files, sent the check a signal, or closed or replaced a standard descriptor or the check&apos;s channel; 8 loading a library or a call did not return within --timeout; 9 a driver library, or a library it needs, is found only through LD_LIBRARY_PATH, so a window started from the desktop menu would not find it; 64 wrong options or arguments. 7 and 8 come before the others, 9 only when nothing else failed, and the first failing stage decides. A signal that ends a program (Ctrl-C, a closed terminal) stops the vendor&apos;s library and everything it started, takes away a capture being written, and then ends the check by that signal; one ignored when the check started stays ignored.</source>
        <translation>检查读卡终端：加载读卡器的驱动库，像 idcardshow 一样读取身份证和社保卡，并说明每一步的返回值和用时。厂商的驱动库在单独的进程中运行，因此检查工具能说明是哪个库或哪次调用崩溃、结束了进程或没有返回。

退出码：0 全部读取成功；1 驱动库未能加载或缺少函数；2 读卡器未能打开；3 未读到身份证；4 照片无法显示；5 未读到社保卡；6 无法采集或未能写入采集数据；7 厂商的驱动库崩溃、结束或暂停了进程，越过缓冲区末尾写入，复制（fork）出继续运行的副本，用尽了可打开的文件，向检查工具发送了信号，或关闭、替换了标准描述符或检查工具的通道；8 加载库或某次调用在 --timeout 规定的时间内没有返回；9 某个驱动库或它依赖的库只能通过 LD_LIBRARY_PATH 找到，从桌面菜单启动的窗口会找不到它；64 选项或参数错误。7 和 8 优先于其他退出码，9 只在其余步骤都没有失败时使用，其他情况由第一个失败的步骤决定。会结束程序的信号（Ctrl-C、关闭终端）会先结束厂商驱动库及其启动的所有进程，删除正在写入的采集数据，然后检查工具以该信号结束；启动时已被忽略的信号仍被忽略。</translation>
    </message>
    <message>
        <source>--timeout needs a whole number of seconds from 1 to %1.</source>
        <translation>--timeout 需要 1 到 %1 之间的整数秒数。</translation>
    </message>
    <message>
        <source>the check was interrupted by %1</source>
        <translation>检查工具被%1中断</translation>
    </message>
    <message>
        <source>No capture was kept: %1. Nothing of the card was left: %2, which the check had made for it, was removed.</source>
        <translation>未保留采集数据：%1。没有留下卡片的任何数据：检查工具为此创建的 %2 已删除。</translation>
    </message>
    <message>
        <source>the capture folder %1 holds an unfinished capture of an earlier run that was stopped, with a card&apos;s data: %2. Delete it with `rm -r -- %3` and run the check again</source>
        <translation>采集目录 %1 中有一份上次运行被中止时留下的未完成的采集，其中含有卡片数据：%2。请用 `rm -r -- %3` 删除后再运行检查工具</translation>
    </message>
    <message>
        <source>An unfinished capture, left by a run of the check that was stopped while writing, held a card&apos;s data: %1 (%2). The check removed it.</source>
        <translation>检查工具上次运行时在写入中途被中止，留下了一份含有卡片数据的未完成的采集：%1（%2）。检查工具已将其删除。</translation>
    </message>
    <message>
        <source>The check removed %1, an empty temporary folder left by a run of the check that was stopped while writing a capture.</source>
        <translation>检查工具上次运行时在写入采集数据前被中止，留下了空的临时目录 %1；检查工具已将其删除。</translation>
    </message>
    <message>
        <source>  The process that runs the vendor&apos;s library reported nothing for %1 s %2, outside any call of the library: a thread of the library took the check&apos;s channel or holds the process up. The check stopped it.</source>
        <translation>  运行厂商驱动库的进程%2 %1 秒内没有任何报告，当时并不在驱动库的调用中：驱动库的某个线程占用了检查工具的通道，或使进程无法继续。已终止运行驱动库的进程。</translation>
    </message>
    <message>
        <source>  The vendor&apos;s library stopped the process %1 with %2, and nothing would continue it: the check ended it.</source>
        <translation>  厂商驱动库%1用%2暂停了进程，且没有任何东西会让它继续运行：已终止运行驱动库的进程。</translation>
    </message>
    <message>
        <source>  The library had made the check its debugger (PTRACE_TRACEME), so the crash stopped the process instead of ending it: the check ended it.</source>
        <translation>  驱动库已将检查工具设为自己的调试器（PTRACE_TRACEME），因此崩溃使进程暂停而不是结束：已终止运行驱动库的进程。</translation>
    </message>
    <message>
        <source>  %1 wrote more than %2 bytes past the end of %3, whose documented size is %4 bytes, and so over other memory of the process: the check stopped the read there.</source>
        <translation>  %1 越过 %3 的末尾写了超过 %2 个字节（文档规定的大小为 %4 个字节），也写坏了进程的其他内存：检查工具在此处停止了读取。</translation>
    </message>
    <message>
        <source>  %1 wrote at least %2 bytes past the end of %3, whose documented size is %4 bytes: the check stopped the read there. The window treats this read as failed.</source>
        <translation>  %1 越过 %3 的末尾至少写了 %2 个字节（文档规定的大小为 %4 个字节）：检查工具在此处停止了读取。窗口会将这次读取视为失败。</translation>
    </message>
    <message>
        <source>  The vendor&apos;s library forked the process %1, and the copy went on into the check&apos;s code as if it were the process itself: the check ended the copy. In the window such a copy would go on as a second window.</source>
        <translation>  厂商驱动库%1复制（fork）了进程，副本冒充原进程继续执行检查工具的代码：检查工具已结束该副本。在窗口中，这样的副本会作为第二个窗口继续运行。</translation>
    </message>
    <message>
        <source>  The vendor&apos;s library left processes running, which the check stopped: %1. Left running, they may hold the reader, so that the next read cannot open it.</source>
        <translation>  厂商驱动库留下了仍在运行的进程，检查工具已将其结束：%1。这些进程若继续运行，可能占用读卡器，使下一次读取无法打开它。</translation>
    </message>
    <message>
        <source>  The vendor&apos;s library sent the check %2 %1: the check stopped the library&apos;s processes.</source>
        <translation>  厂商驱动库%1向检查工具发送了%2：检查工具已结束驱动库的进程。</translation>
    </message>
    <message>
        <source>Result: the check was stopped by %1.</source>
        <translation>结果：检查工具被%1终止。</translation>
    </message>
    <message>
        <source>cannot open the capture folder %1: %2</source>
        <translation>无法打开采集目录 %1：%2</translation>
    </message>
    <message>
        <source>  The vendor&apos;s library lowered the limit of open files from %1 to %2 %3: nothing the process opens after it can be opened.</source>
        <translation>  厂商驱动库%3把可打开文件数的上限从 %1 降到了 %2：此后进程再打开任何文件都会失败。</translation>
    </message>
    <message>
        <source>  The vendor&apos;s library used up all %1 open files the process may have %2: nothing the process opens after it can be opened.</source>
        <translation>  厂商驱动库%2用尽了进程可打开的全部 %1 个文件：此后进程再打开任何文件都会失败。</translation>
    </message>
    <message>
        <source>  %1 loaded: %2</source>
        <translation>  %1 加载了：%2</translation>
    </message>
    <message>
        <source>Unknown option &apos;%1&apos;.</source>
        <translation>未知选项“%1”。</translation>
    </message>
    <message>
        <source>Unknown options: %1.</source>
        <translation>未知选项：%1。</translation>
    </message>
</context>
<context>
    <name>QCommandLineParser</name>
    <message>
        <source>Usage: %1</source>
        <translation>用法：%1</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>选项：</translation>
    </message>
    <message>
        <source>[options]</source>
        <translation>[选项]</translation>
    </message>
    <message>
        <source>Missing value after &apos;%1&apos;.</source>
        <translation>“%1”后缺少值。</translation>
    </message>
    <message>
        <source>Unexpected value after &apos;%1&apos;.</source>
        <translation>“%1”后面不能带值。</translation>
    </message>
</context>
</TS>
