#include "app/qt/face_texts.h"

#include <cstdlib>
#include <cstring>

namespace {

bool IsChinesePrc(const char* locale) {
    if (std::strncmp(locale, "zh_CN", 5) != 0) return false;
    return locale[5] == '\0' || locale[5] == '.' || locale[5] == '@';
}

const FaceTexts kEnglish = {
    .title = "CorvaneServer",
    .trayTip = "VolaServer",
    .config = "Config",
    .about = "About",
    .shutdown = "Shutdown",
    .link = "https://example.com/",
    .quitQuestion =
        "There is no tray to keep CorvaneServer in.\n"
        "Stop serving phones and quit?",
    .connectStatus = "Connect status",
    .computerName = "Computer Name",
    .password = "Password",
    .encrypt = " Encrypt",
    .ipAddress = "IP Address",
    .detail = "Detail...",
    .firewallNote = "If the firewall is on, please close it temporarily!",
    .connected = "Connected",
    .disconnected = "Disconnected",
    .multipleAddresses = "Multiple IP Address",
    .settings = "Settings",
    .horizontal = "Horizontal",
    .vertical = "Vertical",
    .lock = "Lock",
    .mouseSensitivity = "Mouse Sensitivity:",
    .autoStart = "Running automatically when the PC starts",
    .aboutText =
        "Present your slides from your phone with CorvaneServer.\n"
        "You need both the phone app and this program on your PC.\n"
        "Your phone and your PC must be on the same Wi-Fi network,\n"
        "or your PC must be connected to your phone's hotspot.\n"
        "\n"
        "Suggestions and questions are welcome on our web site:\n"
        "https://example.com/\n"
        "\n"
        "If you like CorvaneServer, please recommend it to your friends!",
    .version = "Version",
    .ipColumn = "IP",
    .wirelessColumn = "Wireless Network",
    .adapterColumn = "NetCard Name",
};

const FaceTexts kChinese = {
    .title = "CorvaneServer",
    .trayTip = "VolaServer",
    .config = "配置框",
    .about = "About",
    .shutdown = "关闭服务程序",
    .link = "https://example.com/",
    .quitQuestion = "没有系统托盘可以放置 CorvaneServer。\n停止为手机服务并退出吗？",
    .connectStatus = "主要连接配置",
    .computerName = "本机名字",
    .password = "连接密码",
    .encrypt = " 隐藏密码",
    .ipAddress = "本机地址",
    .detail = "详情...",
    .firewallNote = "如果电脑开启了防火墙，请暂时关闭，以免影响手机连接电脑",
    .connected = "网络连接 开启状态",
    .disconnected = "网络连接 关闭状态",
    .multipleAddresses = "本机有多个IP地址",
    .settings = "高级选项配置",
    .horizontal = "水平",
    .vertical = "垂直",
    .lock = "同时",
    .mouseSensitivity = "鼠标灵敏度:",
    // The Windows program says "when Windows starts"; here it is the computer.
    .autoStart = "电脑启动时候运行",
    .aboutText =
        "CorvaneServer 是演示遥控的电脑端服务程序，与手机上的遥控应用配合使用。\n"
        "手机与电脑连到同一个无线网络（或电脑连接手机的热点）后，即可在手机上放映和翻动"
        "幻灯片、使用画笔，并控制电脑的鼠标和键盘。\n"
        "\n"
        "网站：https://example.com/\n"
        "邮箱：support@example.com",
    .version = "当前版本",
    .ipColumn = "IP",
    .wirelessColumn = "连接到无线网络",
    .adapterColumn = "网卡名",
};

}  // namespace

FaceLanguage LanguageForLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    for (const char* locale : {lcAll, lcMessages, lang}) {
        if (locale == nullptr || locale[0] == '\0') continue;
        return IsChinesePrc(locale) ? FaceLanguage::kChinese : FaceLanguage::kEnglish;
    }
    return FaceLanguage::kEnglish;
}

FaceLanguage LanguageFromEnvironment() {
    return LanguageForLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"),
                             std::getenv("LANG"));
}

const FaceTexts& TextsFor(FaceLanguage language) {
    return language == FaceLanguage::kChinese ? kChinese : kEnglish;
}
