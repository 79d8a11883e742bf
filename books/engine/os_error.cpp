#include "books/engine/os_error.h"

#include <cerrno>

namespace kelmor::books {

std::string osErrorText(int error)
{
    switch (error) {
    case ENOENT:
        return "нет такого файла или папки";
    case EACCES:
    case EPERM:
        return "нет прав доступа";
    case EISDIR:
        return "это папка, а не файл";
    case ENOTDIR:
        return "часть пути не является папкой";
    case EROFS:
        return "файловая система доступна только для чтения";
    case ENOSPC:
        return "на диске нет места";
#ifdef EDQUOT
    case EDQUOT:
        return "превышена дисковая квота";
#endif
    case EIO:
        return "ошибка ввода-вывода";
    case EEXIST:
        return "файл уже существует";
    case ENAMETOOLONG:
        return "слишком длинное имя файла";
    case ELOOP:
        return "слишком много символических ссылок";
    case EMFILE:
    case ENFILE:
        return "открыто слишком много файлов";
    case ENOMEM:
        return "недостаточно памяти";
    case EBUSY:
        return "файл или устройство заняты";
    case EXDEV:
        return "файлы на разных файловых системах";
    case EFBIG:
        return "файл слишком велик";
    case ENXIO:
    case ENODEV:
        return "нет такого устройства";
    case EINVAL:
        return "недопустимая операция для этого файла";
    default:
        return "системная ошибка " + std::to_string(error);
    }
}

} // namespace kelmor::books
