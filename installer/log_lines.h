// The installer's log lines, exactly as the log box shows them (each is followed by CR LF).
#pragma once

namespace installer::log_lines {

inline constexpr const char* kInstallStart = "开始安装驱动......";
inline constexpr const char* kDeviceFound = "发现设备，开始安装驱动......";
inline constexpr const char* kNoDeviceSerial = "没有发现设备，或设备没有插好，开始驱动预安装......";
inline constexpr const char* kNoDeviceBulk = "USB device no exist, start to preinstall.";
inline constexpr const char* kNoDeviceScanner = "USB 设备不存在，开始进行预安装.";
inline constexpr const char* kProgressDots = ".............................................";
inline constexpr const char* kRootInstallDone = "驱动安装完毕，请用户插入USB打印机，完成PNP设备的最后安装";
inline constexpr const char* kRootInstallFailed = "设备驱动安装失败！请卸载之后，重新开始安装！";
inline constexpr const char* kRemovalStart = "正在进行卸载设备驱动、清除程序......";
inline constexpr const char* kRemovalDone = "完成驱动卸载、连接清除......";

}  // namespace installer::log_lines
