; The installer's own texts, in English and Chinese (PRC); the rest come with NSIS's language
; files.
LangString WelcomeText ${LANG_ENGLISH} "Setup will install CorvaneServer ${VERSION} for you \
    alone, without administrator rights.$\r$\n$\r$\nA CorvaneServer that is running now is \
    closed first and started again afterwards. Your settings are kept.$\r$\n$\r$\nClick Next \
    to continue."
LangString WelcomeText ${LANG_SIMPCHINESE} "安装程序将只为您本人安装 CorvaneServer \
    ${VERSION}，无需管理员权限。$\r$\n$\r$\n正在运行的 CorvaneServer 会先被关闭，安装完成后再\
    重新启动。您的设置将被保留。$\r$\n$\r$\n单击“下一步”继续。"
LangString FinishText ${LANG_ENGLISH} "CorvaneServer ${VERSION} is installed. You find it in \
    the Start menu; while it runs, double-click its icon in the notification area to open its \
    settings.$\r$\n$\r$\nClick Finish to close Setup."
LangString FinishText ${LANG_SIMPCHINESE} "CorvaneServer ${VERSION} 已安装。您可以在“开始”\
    菜单中找到它；运行时，双击通知区域中的图标即可打开设置。$\r$\n$\r$\n单击“完成”关闭安装程序。"
LangString ClosingText ${LANG_ENGLISH} "Closing the running CorvaneServer..."
LangString ClosingText ${LANG_SIMPCHINESE} "正在关闭运行中的 CorvaneServer..."
LangString StillRunningText ${LANG_ENGLISH} "CorvaneServer is still running and did not \
    close. End it with Shutdown in its tray menu, then click Retry; Cancel stops here."
LangString StillRunningText ${LANG_SIMPCHINESE} "CorvaneServer 仍在运行，未能关闭。请用托盘\
    菜单中的“关闭服务程序”结束它，然后单击“重试”；单击“取消”将停止。"
LangString FileInUseText ${LANG_ENGLISH} "CorvaneServer.exe is in use by another program. \
    Close that program, then click Retry; Cancel stops here and leaves the installed version as \
    it is."
LangString FileInUseText ${LANG_SIMPCHINESE} "CorvaneServer.exe 正被其他程序使用。请关闭该程序后\
    单击“重试”；单击“取消”将停止，已安装的版本保持不变。"
LangString KeepSettingsText ${LANG_ENGLISH} "Keep your settings (password, computer name, \
    pointer speed) for a later installation?$\r$\n$\r$\nYes keeps the file CorvaneServer.ini, \
    No deletes it."
LangString KeepSettingsText ${LANG_SIMPCHINESE} "是否保留您的设置（密码、电脑名称、指针速度）以便\
    日后重新安装时使用？$\r$\n$\r$\n“是”保留 CorvaneServer.ini 文件，“否”将其删除。"
LangString ShortcutComment ${LANG_ENGLISH} "Presentation remote for the phone app"
LangString ShortcutComment ${LANG_SIMPCHINESE} "手机演示遥控"
