#include "storage/error.h"

namespace storage {

std::string_view error_text(int code) {
  switch (code) {
    case kOk:
      return "";
    case kUnknown:
      return "未知错误";
    case kFileNotFound:
      return "指定文件未找到";
    case kBadPath:
      return "无效的路径";
    case kTooManyOpenFiles:
      return "打开文件过多";
    case kAccessDenied:
      return "指定文件不能被访问";
    case kInvalidHandle:
      return "无效的文件号";
    case kRemoveCurrentDir:
      return "不能删除现行工作目录";
    case kDirectoryFull:
      return "创建目录过多";
    case kSeekFailed:
      return "文件指针定位失败";
    case kHardwareFault:
      return "访问文件时硬件产生故障";
    case kSharingViolation:
      return "访问文件时产生共享冲突";
    case kLockViolation:
      return "加锁文件失败";
    case kDiskFull:
      return "磁盘空间不够";
    case kEndOfFile:
      return "已经到达文件尾";
    case kOpenFailed:
      return "打开指定数据库失败";
    case kNotDatabase:
      return "指定文件不是数据库文件";
    case kVersionTooHigh:
      return "指定数据库文件版本太高，无法读入，请升级系统软件";
    case kBadAlias:
      return "无效的别名。别名首字符必须为全半角字母或汉字，其他字符必须为全半角字母、全半角数字或"
             "汉字";
    case kNotOpen:
      return "当前未打开数据库";
    case kLockFailed:
      return "加锁失败";
    case kUnlockFailed:
      return "解锁失败";
    case kSideFileUnreadable:
      return "读入数据库辅助文件失败";
    case kSideFileVersion:
      return "数据库辅助文件的版本与数据库本身不一致";
    case kSideFileDamaged:
      return "指定文件不是数据库辅助文件或已被损坏";
    case kAlreadyOpen:
      return "指定数据库已经被打开";
    case kOutOfMemory:
      return "分配内存空间失败";
    case kReadFieldFailed:
      return "读指定字段失败";
    case kWriteFieldFailed:
      return "写指定字段失败";
    case kFileSizeWrong:
      return "数据库文件尺寸错误";
    case kSideFileAccess:
      return "访问数据库的辅助文件失败";
    case kNoCurrentRecord:
      return "现行记录不存在";
    case kNoSuchField:
      return "指定字段不存在";
    case kReadRecordFailed:
      return "读记录失败";
    case kRecordCountFailed:
      return "取数据库记录数失败";
    case kTableNotOpen:
      return "未打开指定数据库";
    case kNoCurrentTable:
      return "未设置当前数据库";
    case kTypeMismatch:
      return "所提供数据的类型与字段类型不匹配";
    case kBadPassword:
      return "未提供数据库访问密码或提供了错误的密码";
  }
  return "";
}

}  // namespace storage
