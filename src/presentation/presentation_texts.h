// The presentation layer's Chinese messages: GBK bytes on Windows (written as they are,
// whatever the system's code page), UTF-8 elsewhere.
#pragma once

#if defined(_WIN32)
#define PPT_TEXT(gbk, utf8) gbk
#else
#define PPT_TEXT(gbk, utf8) utf8
#endif

#define kInitFailedFormat                                                                    \
    PPT_TEXT("\xb3\xf5\xca\xbc\xbb\xafPowerPoint\xbf\xd8\xbc\xfe\xb3\xf6\xb4\xed HR=0x%X\n", \
             "初始化PowerPoint控件出错 HR=0x%X\n")
#define kActivePresentationUnknownText                                           \
    PPT_TEXT("msi_ppt::ActivePresentation() \xce\xb4\xd6\xaa\xd2\xec\xb3\xa3\n", \
             "msi_ppt::ActivePresentation() 未知异常\n")
#define kRunFailedText \
    PPT_TEXT("\xd6\xb4\xd0\xd0\xb3\xf6\xcf\xd6\xd2\xec\xb3\xa3\n", "执行出现异常\n")
#define kRunUnknownText                                                                           \
    PPT_TEXT("msi_ppt::RUN() \xd6\xb4\xd0\xd0\xb3\xf6\xcf\xd6\xce\xb4\xd6\xaa\xd2\xec\xb3\xa3\n", \
             "msi_ppt::RUN() 执行出现未知异常\n")
#define kNavigateFailedText                                                                \
    PPT_TEXT("\xb7\xad\xb5\xb9\xcf\xc2\xd2\xbb\xd2\xb3\xb3\xf6\xcf\xd6\xd2\xec\xb3\xa3\n", \
             "翻倒下一页出现异常\n")
