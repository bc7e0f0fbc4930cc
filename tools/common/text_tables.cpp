// The tables themselves, apart from the choice between them, so that they build and are
// checked on any platform.
#include "tool_texts.h"

const ToolTexts kEnglishTexts = {
    // hostSynopsis
    "usage: meruvia-host [options] VALUE ...\n"
    "       meruvia-host --interactive [options]\n"
    "       meruvia-host --lamp-test [--interval MS] --port PORT ...\n"
    "       meruvia-host --doctor [--port PORT and the line options]\n"
    "       meruvia-host --register [--dll PATH] | --unregister [--dll PATH]\n"
    "\n"
    "Creates the MERUVIA driver through the component runtime, as the host does, checks a\n"
    "tag, opens a serial port and sends each VALUE to the display (one frame per value).\n"
    "Started by a double-click, it checks the installation (--doctor) and waits for a key.\n",
    // hostExitStatus
    "Exit status: 0 all well; 1 bad usage or a value that is not a number;\n"
    "2 the driver refused the device address or the tag; 3 the driver could not be\n"
    "registered, unregistered or created; 4 the port could not be opened; 5 a frame did\n"
    "not go out whole.\n",
    // sendSynopsis
    "usage: meruvia-send --port DEVICE [line options] VALUE ...\n"
    "       meruvia-send --port DEVICE [line options] --interactive\n"
    "       meruvia-send --port DEVICE [line options] --lamp-test [--interval MS]\n"
    "\n"
    "Sends each VALUE to the MERUVIA display on a serial device, one 8-byte frame per value,\n"
    "exactly as the driver does.\n",
    // sendExitStatus
    "Exit status: 0 all values sent; 1 bad usage or a value that is not a number;\n"
    "4 the device could not be opened with these settings; 5 a frame did not go out whole.\n",
    // displaySynopsis
#ifdef _WIN32
    "usage: meruvia-display --device PORT [line options] [--log] [--frames N] [--timeout SECONDS]\n"
#else
    "usage: meruvia-display (--device PATH | --pty [--link PATH]) [line options] [--log]\n"
    "                       [--frames N] [--timeout SECONDS]\n"
#endif
    "\n"
    "Plays the MERUVIA LED display: reads the 8-byte frames a driver sends (\"=\" and seven\n"
    "characters, last first) and shows the reading as seven-segment digits.\n",
    // displayExitStatus
    "Exit status: 0 done, 1 bad usage, 2 the line could not be opened or read.\n",
    // value names
    "N", "MS", "SECONDS", "PATH", "TEXT", "PORT", "P", "BITS", "zh|en",
    // helpHelp .. helpUtf8
    "this text",
    "the program's version",
    "language of the messages: zh (also zh-CN, cn) or en (also en-US);\n"
    "default: the system's",
    "write redirected output as UTF-8 (default: the console's code page)",
    // helpPort
#ifdef _WIN32
    "serial port: COM5, or just 5 (default COM1)",
#else
    "serial port (default COM1)",
#endif
    "line speed (default 9600)",
    "5 to 8 (default 8)",
    "none, odd, even, mark or space; N, O, E, M, S; or 0 to 4\n(default none)",
    "1 or 2 (default 1)",
    // helpDoctor .. helpDataType
    "check the installation and, with --port, the port; one line per check,\n"
    "with what to do about a problem",
    "light every segment, then each digit 0 to 9 in every place, then\n"
    "123.456 (the order of the places), then dashes",
    "time between lamp-test frames, 0 to 3600000 (default 1000)",
    "type values at a prompt, one per line (q, quit or exit ends), or pipe\n"
    "them in",
    "register the driver, as regsvr32 does, and end (unless values, --lamp-test,\n"
    "--interactive or --doctor follow)",
    "remove that DLL's registration and end; another copy's is left alone",
    "the DLL --register registers and --unregister removes (default: the\n"
    "MERUVIA.DLL beside this program)",
    "the tag's device address, 0 to 255 (default 0)",
    "the tag's register (default N)",
    "the tag's data-type bits, decimal or 0x hexadecimal (default 0x0080)",
    // helpSendPort
    "serial device, for example /dev/ttyUSB0 (required)",
    // helpDisplayDevice, helpDisplayComPort
    "read an existing serial device (for example /dev/ttyUSB0), or - for\n"
    "standard input (a capture of the line)",
    "the port the display listens on: COM6, or just 6",
    // helpPty .. helpTimeout
    "create a pseudo-terminal and print the path of its other end",
    "with --pty: also make PATH a symbolic link to that end (for a Wine\n"
    "prefix: $WINEPREFIX/dosdevices/com5 makes it COM5)",
    "one line per frame: time, bytes in hex, reading",
    "stop after N frames, 1 to 1000000000",
    "stop when nothing arrives for this long (for example 2 or 0.5)",
    // needsValue ..
    "%s needs a value",
    "'%s' is not a valid value for %s",
    "'%s' is not a valid value for %s: a whole number from %lu to %lu is expected",
    "'%s' is not a valid value for %s: seconds from 0.001 to 86400, at most three decimals",
    "parity '%s' is not one of none, odd, even, mark, space (N, O, E, M, S, or 0 to 4)",
    "language '%s' is not zh (zh-CN, cn) or en (en-US)",
    "unknown option %s",
    "--help lists the options",
    "nothing to send: give the values, --lamp-test or --interactive",
    "--port DEVICE is needed (for example /dev/ttyUSB0)",
#ifdef _WIN32
    "--device PORT is needed (for example COM6)",
#else
    "give either --device PATH or --pty",
#endif
    "--link goes with --pty",
    // hostIntro .. displayAskPort
    "meruvia-host %s: tries the MERUVIA display driver without the host, and checks its\n"
    "installation. Run it from a command prompt for the rest (meruvia-host --help).\n"
    "\n"
    "The check:\n",
    "Press any key to close this window.",
    "Type a value and Enter to send it; q, quit or exit ends.",
    "The port the display listens on (for example COM6): ",
    // registration
    "registered %s",
    "cannot load %s: %s",
    "%s is not a self-registering driver (no DllRegisterServer)",
    "%s could not register itself: %s. Registering needs administrator rights:\n"
    "  run this from a command prompt opened with \"Run as administrator\"",
    "unregistered: %d registry keys of the driver removed",
    "the driver is not registered: nothing to remove",
    "left %s alone: it belongs to another component (%s)",
    "cannot remove %s: %s. Run as administrator",
    "left the registration alone: it is another copy's, %s, not %s",
    // the driver
    "the component runtime could not be initialised",
    "the driver MERUVIA.MeruviaPro is not registered; register it with\n"
    "  meruvia-host --register, or: regsvr32 MERUVIA.DLL",
    "the driver could not be created: %s\n"
    "  Is the file named in the registration still there? Register it again.",
    "device address '%s' refused: %s",
    "tag '%s' (data type 0x%04lX) refused: %s",
    "the register text is longer than %u characters",
    // the port and the values
    "port name '%s' is too long",
    "cannot open %s at %s: the port does not exist, is in use,\n"
    "  or does not accept these settings (--doctor --port tells which)",
    "cannot open %s at %s: %s",
    "opened %s at %s",
    "'%s' is not a number; skipped",
    "warning: %s is outside what the display shows (-99.999 to 999.999); it will read %s",
    "%s has no digits to show: the display reads ---.---",
    "the frame for %s did not go out whole: the line is stalled or closed",
    "sent %s as %s, display reads %s",
    "lamp test %d/%d: display should read %s",
    // why a port did not open
    "there is no such port",
    "another program holds it",
    "the device does not accept these settings",
    "it is not a serial line",
    // errors by name
    "class not registered",
    "access denied",
    "the module could not be found",
    "the driver does not offer the interface asked for",
    "the DLL does not offer this class",
    "not a 32-bit Windows program file (a 64-bit or damaged file?)",
    "the file could not be found",
    "not enough memory",
    "error %s",
    // the display simulator
    "listening on %s",
    "listening on %s (linked from %s)",
    "listening on %s at %s",
    "cannot create a pseudo-terminal: %s",
    "cannot link %s to %s: %s",
    "cannot read %s: %s",
    // doctor
    "OK     ",
    "PROBLEM",
    "WARNING",
    "the ProgID MERUVIA.MeruviaPro is registered for 32-bit programs, class %s",
    "the ProgID MERUVIA.MeruviaPro is not registered where a 32-bit host looks.\n"
    "        Register it: meruvia-host --register, or the installer, as administrator",
    "the ProgID MERUVIA.MeruviaPro names another class, %s. Register the driver again",
    "the class {93447081-C721-4469-8B89-46F355783C14} is not registered where a 32-bit host looks.\n"
    "        Register it: meruvia-host --register, or the installer, as administrator",
    "the class maps back to the ProgID",
    "the class's ProgID is '%s', not MERUVIA.MeruviaPro. Register the driver again",
    "the driver file is %s, version %s",
    "the class has no InProcServer32 file. Register the driver again",
    "the registered driver file %s does not exist (moved or deleted?). Register it again from\n"
    "        where it is now",
    "the registered file %s is not MERUVIA.DLL %s (version %s). Register the right file",
    "the driver is registered for 64-bit programs only, where the 32-bit host cannot see it.\n"
    "        Register it with the 32-bit regsvr32 (C:\\Windows\\SysWOW64\\regsvr32.exe) or the installer",
    "the driver can be created",
    "the driver cannot be created: %s",
    "serial ports on this PC: %s",
    " (in use)",
    "this PC shows no serial port. Check the adapter's driver in Device Manager",
    "%s opens at %s",
    "%s does not exist on this PC. Check the port name (Device Manager, Ports)",
    "%s is in use by another program (access denied). Close that program, or stop the host",
    "%s refuses the settings %s: %s. Check the line options",
    "%s cannot be opened: %s",
    "%s opens at %s, but the driver could not open it. Set MERUVIA_TRACE (see the guide)\n"
    "        and try again: the trace says why",
    "all checks passed",
    "%d problem(s) found",
};

const ToolTexts kChineseTexts = {
    // hostSynopsis
    "用法：meruvia-host [选项] 数值 ...\n"
    "      meruvia-host --interactive [选项]\n"
    "      meruvia-host --lamp-test [--interval 毫秒] --port 端口 ...\n"
    "      meruvia-host --doctor [--port 端口 及线路选项]\n"
    "      meruvia-host --register [--dll 路径] | --unregister [--dll 路径]\n"
    "\n"
    "像主机程序一样通过组件运行库创建 MERUVIA 驱动，检查标签，打开串口，\n"
    "把每个数值发送到显示屏（每个数值一帧）。\n"
    "双击启动时，检查安装情况（--doctor），并等待按键。\n",
    // hostExitStatus
    "退出码：0 一切正常；1 用法错误或数值不是数字；2 驱动拒绝了设备地址或标签；\n"
    "3 驱动无法注册、注销或创建；4 串口无法打开；5 有一帧没有完整发出。\n",
    // sendSynopsis
    "用法：meruvia-send --port 设备 [线路选项] 数值 ...\n"
    "      meruvia-send --port 设备 [线路选项] --interactive\n"
    "      meruvia-send --port 设备 [线路选项] --lamp-test [--interval 毫秒]\n"
    "\n"
    "把每个数值发送到串口设备上的 MERUVIA 显示屏，每个数值一个 8 字节帧，与驱动完全相同。\n",
    // sendExitStatus
    "退出码：0 全部数值已发送；1 用法错误或数值不是数字；\n"
    "4 无法以这些设置打开设备；5 有一帧没有完整发出。\n",
    // displaySynopsis
#ifdef _WIN32
    "用法：meruvia-display --device 端口 [线路选项] [--log] [--frames N] [--timeout 秒]\n"
#else
    "用法：meruvia-display (--device 路径 | --pty [--link 路径]) [线路选项] [--log]\n"
    "                      [--frames N] [--timeout 秒]\n"
#endif
    "\n"
    "模拟 MERUVIA LED 显示屏：读取驱动发送的 8 字节帧（“=”加七个字符，最后一个字符在前），\n"
    "并以七段数码显示读数。\n",
    // displayExitStatus
    "退出码：0 完成；1 用法错误；2 线路无法打开或读取。\n",
    // value names
    "N", "毫秒", "秒", "路径", "文本", "端口", "P", "位", "zh|en",
    // helpHelp .. helpUtf8
    "显示本说明",
    "显示程序版本",
    "提示语言：zh（也可写 zh-CN、cn）或 en（也可写 en-US）；\n"
    "默认跟随系统",
    "重定向的输出以 UTF-8 写出（默认：控制台的代码页）",
    // helpPort
#ifdef _WIN32
    "串口：COM5，或只写 5（默认 COM1）",
#else
    "串口（默认 COM1）",
#endif
    "波特率（默认 9600）",
    "数据位 5 到 8（默认 8）",
    "校验：none、odd、even、mark 或 space；N、O、E、M、S；或 0 到 4\n（默认 none）",
    "停止位 1 或 2（默认 1）",
    // helpDoctor .. helpDataType
    "检查安装情况，加 --port 时也检查该串口；每项检查一行，\n"
    "有问题时说明怎么办",
    "点亮全部笔段，然后每一位依次显示 0 到 9，\n"
    "再显示 123.456（各位的顺序），最后显示横线",
    "灯测试每帧之间的间隔，0 到 3600000（默认 1000）",
    "在提示符下逐行输入数值（输入 q、quit 或 exit 结束），\n"
    "也可以用管道输入",
    "注册驱动（与 regsvr32 相同），然后结束（除非后面还有数值、\n"
    "--lamp-test、--interactive 或 --doctor）",
    "删除该 DLL 的注册信息，然后结束；另一份驱动的注册信息不动",
    "--register 要注册、--unregister 要注销的 DLL（默认：本程序旁边的\n"
    "MERUVIA.DLL）",
    "标签的设备地址，0 到 255（默认 0）",
    "标签的寄存器（默认 N）",
    "标签的数据类型位，十进制或 0x 开头的十六进制（默认 0x0080）",
    // helpSendPort
    "串口设备，例如 /dev/ttyUSB0（必须给出）",
    // helpDisplayDevice, helpDisplayComPort
    "读取已有的串口设备（例如 /dev/ttyUSB0），或用 - 表示\n"
    "标准输入（线路的录制）",
    "显示屏监听的端口：COM6，或只写 6",
    // helpPty .. helpTimeout
    "创建一个伪终端，并打印其另一端的路径",
    "与 --pty 一起用：同时把路径做成指向该端的符号链接（Wine 前缀中\n"
    "$WINEPREFIX/dosdevices/com5 即为 COM5）",
    "每帧一行：时间、十六进制字节、读数",
    "收到 N 帧后停止，1 到 1000000000",
    "这么久没有收到数据时停止（例如 2 或 0.5）",
    // needsValue ..
    "%s 需要一个值",
    "“%s”不是 %s 的有效值",
    "“%s”不是 %s 的有效值：应为 %lu 到 %lu 的整数",
    "“%s”不是 %s 的有效值：应为 0.001 到 86400 秒，最多三位小数",
    "校验“%s”不是 none、odd、even、mark、space（N、O、E、M、S 或 0 到 4）之一",
    "语言“%s”不是 zh（zh-CN、cn）或 en（en-US）",
    "未知选项 %s",
    "用 --help 查看全部选项",
    "没有要发送的内容：请给出数值、--lamp-test 或 --interactive",
    "需要 --port 设备（例如 /dev/ttyUSB0）",
#ifdef _WIN32
    "需要 --device 端口（例如 COM6）",
#else
    "请给出 --device 路径或 --pty 之一",
#endif
    "--link 要与 --pty 一起用",
    // hostIntro .. displayAskPort
    "meruvia-host %s：不用主机程序试用 MERUVIA 显示屏驱动，并检查驱动的安装。\n"
    "其他功能请在命令提示符中运行（meruvia-host --help）。\n"
    "\n"
    "检查结果：\n",
    "按任意键关闭本窗口。",
    "输入一个数值并按回车发送；输入 q、quit 或 exit 结束。",
    "显示屏监听的端口（例如 COM6）：",
    // registration
    "已注册 %s",
    "无法加载 %s：%s",
    "%s 不是可自注册的驱动（没有 DllRegisterServer）",
    "%s 注册失败：%s。注册需要管理员权限：\n"
    "  请在“以管理员身份运行”打开的命令提示符中执行",
    "已注销：删除了驱动的 %d 个注册表项",
    "驱动没有注册：没有可删除的内容",
    "未动 %s：它属于另一个组件（%s）",
    "无法删除 %s：%s。请以管理员身份运行",
    "未动注册信息：它属于另一份驱动 %s，不是 %s",
    // the driver
    "组件运行库无法初始化",
    "驱动 MERUVIA.MeruviaPro 没有注册；请用\n"
    "  meruvia-host --register 注册，或执行：regsvr32 MERUVIA.DLL",
    "无法创建驱动：%s\n"
    "  注册信息中的文件还在吗？请重新注册。",
    "设备地址“%s”被拒绝：%s",
    "标签“%s”（数据类型 0x%04lX）被拒绝：%s",
    "寄存器文本超过 %u 个字符",
    // the port and the values
    "端口名“%s”太长",
    "无法打开 %s（%s）：串口不存在、被占用或不接受这些设置\n"
    "  （用 --doctor --port 可查明原因）",
    "无法打开 %s（%s）：%s",
    "已打开 %s，%s",
    "“%s”不是数字；已跳过",
    "警告：%s 超出显示屏的显示范围（-99.999 到 999.999）；将显示为 %s",
    "%s 没有可显示的数字：显示屏显示 ---.---",
    "%s 的帧没有完整发出：线路阻塞或已关闭",
    "已发送 %s，帧 %s，显示屏显示 %s",
    "灯测试 %d/%d：显示屏应显示 %s",
    // why a port did not open
    "没有这个端口",
    "另一个程序占用着它",
    "设备不接受这些设置",
    "它不是串行线路",
    // errors by name
    "类没有注册",
    "拒绝访问",
    "找不到模块",
    "驱动不提供所要的接口",
    "DLL 不提供这个类",
    "不是 32 位 Windows 程序文件（是 64 位文件或已损坏？）",
    "找不到文件",
    "内存不足",
    "错误 %s",
    // the display simulator
    "正在监听 %s",
    "正在监听 %s（链接自 %s）",
    "正在监听 %s，%s",
    "无法创建伪终端：%s",
    "无法把 %s 链接到 %s：%s",
    "无法读取 %s：%s",
    // doctor
    "正常 ",
    "问题 ",
    "警告 ",
    "ProgID MERUVIA.MeruviaPro 已为 32 位程序注册，类 %s",
    "ProgID MERUVIA.MeruviaPro 没有注册在 32 位主机查找的位置。\n"
    "        请以管理员身份注册：meruvia-host --register，或运行安装程序",
    "ProgID MERUVIA.MeruviaPro 指向另一个类 %s。请重新注册驱动",
    "类 {93447081-C721-4469-8B89-46F355783C14} 没有注册在 32 位主机查找的位置。\n"
    "        请以管理员身份注册：meruvia-host --register，或运行安装程序",
    "类可以映射回 ProgID",
    "类的 ProgID 是“%s”，不是 MERUVIA.MeruviaPro。请重新注册驱动",
    "驱动文件是 %s，版本 %s",
    "类没有 InProcServer32 文件。请重新注册驱动",
    "注册的驱动文件 %s 不存在（被移动或删除了？）。请在文件现在的位置重新注册",
    "注册的文件 %s 不是 MERUVIA.DLL %s（版本 %s）。请注册正确的文件",
    "驱动只注册在 64 位程序的位置，32 位主机看不到。\n"
    "        请用 32 位 regsvr32（C:\\Windows\\SysWOW64\\regsvr32.exe）或安装程序注册",
    "驱动可以创建",
    "无法创建驱动：%s",
    "本机的串口：%s",
    "（被占用）",
    "本机没有串口。请在设备管理器中检查串口适配器的驱动",
    "%s 可以以 %s 打开",
    "本机没有 %s。请检查端口名（设备管理器，端口）",
    "%s 被另一个程序占用（拒绝访问）。请关闭该程序或停止主机程序",
    "%s 不接受设置 %s：%s。请检查线路选项",
    "%s 无法打开：%s",
    "%s 可以以 %s 打开，但驱动无法打开它。请设置 MERUVIA_TRACE（见说明书）\n"
    "        后重试：跟踪记录会说明原因",
    "全部检查通过",
    "发现 %d 个问题",
};
