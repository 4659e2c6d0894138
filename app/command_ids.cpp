// Texts, icons and toolbar order of the main window's commands.
#include "app/command_ids.h"

#include "resources/icons.h"

#include <array>
#include <optional>

namespace quill {

namespace {

struct Command {
    int id;
    const char* text;
    std::optional<ToolIcon> icon;  // none for the transform menu's items
};

constexpr Command kCommands[] = {
    {ID_LIST_NEW, "新規リスト", ToolIcon::NewList},
    {ID_FOLDER_SELECT, "フォルダ選択", ToolIcon::FolderSelect},
    {ID_FILE_DELETE, "ファイル削除", ToolIcon::FileDelete},
    {ID_FILE_DELETE_IDENTICAL, "同一画像を削除", ToolIcon::DeleteIdentical},
    {ID_FILE_RENAME, "名前の変更", ToolIcon::Rename},
    {ID_FILE_RENAME_BATCH, "名前の一括変更", ToolIcon::RenameBatch},
    {ID_SELECT_TOGGLE, "全て選択/選択解除", ToolIcon::SelectToggle},
    {ID_OP_CLEAN, "クリーン化", ToolIcon::Clean},
    {ID_OP_BASELINE, "ベースライン化", ToolIcon::Baseline},
    {ID_OP_PROGRESSIVE, "プログレッシブ化", ToolIcon::Progressive},
    {ID_OP_GRAYSCALE, "グレースケール化", ToolIcon::Grayscale},
    {ID_OP_TRANSFORM, "変形", ToolIcon::Transform},
    {ID_OP_ROTATE_R90, "回転(時計回り)90度", std::nullopt},
    {ID_OP_ROTATE_L90, "回転(反時計回り)90度", std::nullopt},
    {ID_OP_ROTATE_180, "回転(時計回り)180度", std::nullopt},
    {ID_OP_FLIP_H, "水平反転", std::nullopt},
    {ID_OP_FLIP_V, "垂直反転", std::nullopt},
    {ID_OP_TRANSPOSE, "縦横の入れ替え[正]", std::nullopt},
    {ID_OP_TRANSVERSE, "縦横の入れ替え[負]", std::nullopt},
    {ID_OP_NONE, "何もしない", std::nullopt},
    {ID_OP_TRIM, "切り取り", ToolIcon::Trim},
    {ID_OP_AUTO_ROTATE, "Exifの向きに従って回転", std::nullopt},
    {ID_RECOMPRESS, "再圧縮JPEG作成", ToolIcon::Recompress},
    {ID_NEW_JPEG, "新規JPEG作成", ToolIcon::NewJpeg},
    {ID_TOGGLE_OVERWRITE, "上書き保存", ToolIcon::Overwrite},
    {ID_TOGGLE_FORCE_PROGRESSIVE, "プログレッシブを強制", ToolIcon::ForceProgressive},
    {ID_OPTIONS, "オプション設定", ToolIcon::Options},
    {ID_ABOUT, "バージョン情報", ToolIcon::About},
};

constexpr std::array kToolbar = {
    int(ID_LIST_NEW), int(ID_FOLDER_SELECT), 0,
    int(ID_FILE_DELETE), int(ID_FILE_DELETE_IDENTICAL), int(ID_FILE_RENAME), int(ID_FILE_RENAME_BATCH), 0,
    int(ID_SELECT_TOGGLE), 0,
    int(ID_OP_CLEAN), int(ID_OP_BASELINE), int(ID_OP_PROGRESSIVE), int(ID_OP_GRAYSCALE), int(ID_OP_TRANSFORM),
    int(ID_OP_TRIM), 0,
    int(ID_RECOMPRESS), int(ID_NEW_JPEG), 0,
    int(ID_TOGGLE_OVERWRITE), int(ID_TOGGLE_FORCE_PROGRESSIVE), int(ID_OPTIONS), 0,
    int(ID_ABOUT),
};

constexpr std::array kTransformMenu = {
    int(ID_OP_ROTATE_R90), int(ID_OP_ROTATE_L90), int(ID_OP_ROTATE_180), int(ID_OP_FLIP_H),
    int(ID_OP_FLIP_V), int(ID_OP_TRANSPOSE), int(ID_OP_TRANSVERSE), int(ID_OP_NONE),
    0, int(ID_OP_AUTO_ROTATE),
};

const Command* command(int id) {
    for (const Command& c : kCommands)
        if (c.id == id) return &c;
    return nullptr;
}

}  // namespace

const char* commandText(int id) {
    const Command* c = command(id);
    return c ? c->text : nullptr;
}

QIcon commandIcon(int id) {
    const Command* c = command(id);
    return c && c->icon ? toolIcon(*c->icon) : QIcon();
}

std::span<const int> toolbarLayout() { return kToolbar; }

std::span<const int> transformMenuItems() { return kTransformMenu; }

}  // namespace quill
