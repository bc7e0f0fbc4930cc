// The tables themselves, apart from the choice between them, so that they build and are
// checked on any platform.
#include "texts.h"

const HostTexts kEnglishTexts = {
    // usage
    "usage: meruvia-host [options] [VALUE ...]\n"
    "       meruvia-host --doctor [--port NAME and the line options]\n"
    "       meruvia-host --lamp-test [--interval MS] --port NAME ...\n"
    "       meruvia-host --register [--dll PATH] | --unregister [--dll PATH]\n"
    "\n"
    "Creates the MERUVIA driver through the component runtime, as the host does, checks a\n"
    "tag, opens a serial port and sends each VALUE to the display (one frame per value).\n"
    "With no VALUE, values are read from standard input, one per line.\n"
    "\n"
    "  --doctor             check the installation and, with --port, the port; one line\n"
    "                       per check, with what to do about a problem\n"
    "  --lamp-test          light every segment, then each digit 0 to 9 in every place,\n"
    "                       then 123.456 (the order of the places), then dashes\n"
    "  --interval MS        time between lamp-test frames (default 1000)\n"
    "  --register           register the driver first, as regsvr32 does\n"
    "  --dll PATH           the DLL --register registers and --unregister removes (default:\n"
    "                       the MERUVIA.DLL beside this program)\n"
    "  --unregister         remove that DLL's registration; another copy's is left alone\n"
    "  --port NAME          serial port (default COM1)\n"
    "  --baud N             line speed (default 9600)\n"
    "  --data-bits N        5 to 8 (default 8)\n"
    "  --parity P           none, odd, even, mark or space; N, O, E, M, S; or 0 to 4 (default none)\n"
    "  --stop-bits N        1 or 2 (default 1)\n"
    "  --device TEXT        the tag's device address, 0 to 255 (default 0)\n"
    "  --register-text TEXT the tag's register (default N)\n"
    "  --data-type BITS     the tag's data-type bits, e.g. 0x0080 (default 0x0080)\n"
    "  --lang zh|en         language of these messages (default: the system's)\n"
    "  --help               this text\n"
    "\n"
    "Exit status: 0 all well; 1 bad usage or a value that is not a number;\n"
    "2 the driver refused the device address or the tag; 3 the driver could not be\n"
    "registered, unregistered or created; 4 the port could not be opened; 5 a frame did\n"
    "not go out whole.\n",
    "%s needs a value",
    "'%s' is not a valid value for %s",
    "parity '%s' is not one of none, odd, even, mark, space (N, O, E, M, S, or 0 to 4)",
    "language '%s' is not zh or en",
    "unknown option %s",
    "--help lists the options",
    "registered %s",
    "cannot load %s: %s",
    "%s is not a self-registering driver (no DllRegisterServer)",
    "%s could not register itself (result 0x%08lX). Registering needs administrator rights:\n"
    "  run this from a command prompt opened with \"Run as administrator\"",
    "unregistered: %d registry keys of the driver removed",
    "the driver is not registered: nothing to remove",
    "left %s alone: it belongs to another component (%s)",
    "cannot remove %s: %s. Run as administrator",
    "left the registration alone: it is another copy's, %s, not %s",
    "the component runtime could not be initialised",
    "the driver MERUVIA.MeruviaPro is not registered; run with\n"
    "  --register, or: regsvr32 MERUVIA.DLL",
    "the driver could not be created: %s\n"
    "  Is the file named in the registration still there? Register it again.",
    "device address '%s' refused: %s",
    "tag '%s' (data type 0x%04lX) refused: %s",
    "the register text is longer than %u characters",
    "port name '%s' is too long",
    "cannot open %s at %s: the port does not exist, is in use,\n"
    "  or does not accept these settings (--doctor --port tells which)",
    "opened %s at %s",
    "'%s' is not a number; skipped",
    "warning: %s is outside what the display shows (-99.999 to 999.999); it will read %s",
    "%s has no digits to show: the display reads ---.---",
    "the frame for %s did not go out whole: the line is stalled or closed",
    "sent %s as %s, display reads %s",
    "lamp test %d/%d: display should read %s",
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
    "all checks passed",
    "%d problem(s) found",
};

const HostTexts kChineseTexts = {
    "用法: meruvia-host [选项] [数值 ...]\n"
    "      meruvia-host --doctor [--port 端口名 及线路选项]\n"
    "      meruvia-host --lamp-test [--interval 毫秒] --port 端口名 ...\n"
    "      meruvia-host --register [--dll 路径] | --unregister [--dll 路径]\n"
    "\n"
    "像主机程序一样通过组件运行库创建 MERUVIA 驱动，检查标签，打开串口，\n"
    "把每个数值发送到显示屏（每个数值一帧）。没有给出数值时，从标准输入逐行读取。\n"
    "\n"
    "  --doctor             检查安装情况，加 --port 时也检查该串口；每项检查一行，\n"
    "                       有问题时说明怎么办\n"
    "  --lamp-test          点亮全部笔段，然后每一位依次显示 0 到 9，\n"
    "                       再显示 123.456（各位的顺序），最后显示横线\n"
    "  --interval 毫秒      灯测试每帧之间的间隔（默认 1000）\n"
    "  --register           先注册驱动，与 regsvr32 相同\n"
    "  --dll 路径           --register 要注册、--unregister 要注销的 DLL（默认：本程序旁边的\n"
    "                       MERUVIA.DLL）\n"
    "  --unregister         删除该 DLL 的注册信息；另一份驱动的注册信息不动\n"
    "  --port 端口名        串口（默认 COM1）\n"
    "  --baud N             波特率（默认 9600）\n"
    "  --data-bits N        数据位 5 到 8（默认 8）\n"
    "  --parity P           校验: none, odd, even, mark 或 space；N, O, E, M, S；或 0 到 4（默认 none）\n"
    "  --stop-bits N        停止位 1 或 2（默认 1）\n"
    "  --device 文本        标签的设备地址，0 到 255（默认 0）\n"
    "  --register-text 文本 标签的寄存器（默认 N）\n"
    "  --data-type 位       标签的数据类型位，例如 0x0080（默认 0x0080）\n"
    "  --lang zh|en         提示语言（默认跟随系统）\n"
    "  --help               显示本说明\n"
    "\n"
    "退出码: 0 一切正常; 1 用法错误或数值不是数字; 2 驱动拒绝了设备地址或标签;\n"
    "3 驱动无法注册、注销或创建; 4 串口无法打开; 5 有一帧没有完整发出。\n",
    "%s 需要一个值",
    "'%s' 不是 %s 的有效值",
    "校验 '%s' 不是 none, odd, even, mark, space（N, O, E, M, S 或 0 到 4）之一",
    "语言 '%s' 不是 zh 或 en",
    "未知选项 %s",
    "用 --help 查看全部选项",
    "已注册 %s",
    "无法加载 %s: %s",
    "%s 不是可自注册的驱动（没有 DllRegisterServer）",
    "%s 注册失败（结果 0x%08lX）。注册需要管理员权限:\n"
    "  请在“以管理员身份运行”打开的命令提示符中执行",
    "已注销: 删除了驱动的 %d 个注册表项",
    "驱动没有注册: 没有可删除的内容",
    "未动 %s: 它属于另一个组件（%s）",
    "无法删除 %s: %s。请以管理员身份运行",
    "未动注册信息: 它属于另一份驱动 %s，不是 %s",
    "组件运行库无法初始化",
    "驱动 MERUVIA.MeruviaPro 没有注册; 请加 --register 运行，\n"
    "  或执行: regsvr32 MERUVIA.DLL",
    "无法创建驱动: %s\n"
    "  注册信息中的文件还在吗? 请重新注册。",
    "设备地址 '%s' 被拒绝: %s",
    "标签 '%s'（数据类型 0x%04lX）被拒绝: %s",
    "寄存器文本超过 %u 个字符",
    "端口名 '%s' 太长",
    "无法打开 %s（%s）: 串口不存在、被占用或不接受这些设置\n"
    "  （用 --doctor --port 可查明原因）",
    "已打开 %s，%s",
    "'%s' 不是数字; 已跳过",
    "警告: %s 超出显示屏的显示范围（-99.999 到 999.999）; 将显示为 %s",
    "%s 没有可显示的数字：显示屏显示 ---.---",
    "%s 的帧没有完整发出: 线路阻塞或已关闭",
    "已发送 %s，帧 %s，显示屏显示 %s",
    "灯测试 %d/%d: 显示屏应显示 %s",
    "正常 ",
    "问题 ",
    "警告 ",
    "ProgID MERUVIA.MeruviaPro 已为 32 位程序注册，类 %s",
    "ProgID MERUVIA.MeruviaPro 没有注册在 32 位主机查找的位置。\n"
    "        请以管理员身份注册: meruvia-host --register，或运行安装程序",
    "ProgID MERUVIA.MeruviaPro 指向另一个类 %s。请重新注册驱动",
    "类 {93447081-C721-4469-8B89-46F355783C14} 没有注册在 32 位主机查找的位置。\n"
    "        请以管理员身份注册: meruvia-host --register，或运行安装程序",
    "类可以映射回 ProgID",
    "类的 ProgID 是 '%s'，不是 MERUVIA.MeruviaPro。请重新注册驱动",
    "驱动文件是 %s，版本 %s",
    "类没有 InProcServer32 文件。请重新注册驱动",
    "注册的驱动文件 %s 不存在（被移动或删除了?）。请在文件现在的位置重新注册",
    "注册的文件 %s 不是 MERUVIA.DLL %s（版本 %s）。请注册正确的文件",
    "驱动只注册在 64 位程序的位置，32 位主机看不到。\n"
    "        请用 32 位 regsvr32（C:\\Windows\\SysWOW64\\regsvr32.exe）或安装程序注册",
    "驱动可以创建",
    "无法创建驱动: %s",
    "本机的串口: %s",
    "（被占用）",
    "本机没有串口。请在设备管理器中检查串口适配器的驱动",
    "%s 可以以 %s 打开",
    "本机没有 %s。请检查端口名（设备管理器，端口）",
    "%s 被另一个程序占用（拒绝访问）。请关闭该程序或停止主机程序",
    "%s 不接受设置 %s: %s。请检查线路选项",
    "%s 无法打开: %s",
    "全部检查通过",
    "发现 %d 个问题",
};
