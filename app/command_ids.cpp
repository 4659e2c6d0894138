// Texts and toolbar order of the main window's commands.
#include "app/command_ids.h"

#include <array>
#include <utility>

namespace quill {

namespace {

constexpr std::pair<int, const char*> kTexts[] = {
    {ID_LIST_NEW, "新規リスト"},
    {ID_FOLDER_SELECT, "フォルダ選択"},
    {ID_FILE_DELETE, "ファイル削除"},
    {ID_FILE_DELETE_IDENTICAL, "同一画像を削除"},
    {ID_FILE_RENAME, "名前の変更"},
    {ID_FILE_RENAME_BATCH, "名前の一括変更"},
    {ID_SELECT_TOGGLE, "全て選択/選択解除"},
    {ID_OP_CLEAN, "クリーン化"},
    {ID_OP_BASELINE, "ベースライン化"},
    {ID_OP_PROGRESSIVE, "プログレッシブ化"},
    {ID_OP_GRAYSCALE, "グレースケール化"},
    {ID_OP_TRANSFORM, "変形"},
    {ID_OP_ROTATE_R90, "回転(時計回り)90度"},
    {ID_OP_ROTATE_L90, "回転(反時計回り)90度"},
    {ID_OP_ROTATE_180, "回転(時計回り)180度"},
    {ID_OP_FLIP_H, "水平反転"},
    {ID_OP_FLIP_V, "垂直反転"},
    {ID_OP_TRANSPOSE, "縦横の入れ替え[正]"},
    {ID_OP_TRANSVERSE, "縦横の入れ替え[負]"},
    {ID_OP_NONE, "何もしない"},
    {ID_OP_TRIM, "切り取り"},
    {ID_RECOMPRESS, "再圧縮JPEG作成"},
    {ID_NEW_JPEG, "新規JPEG作成"},
    {ID_TOGGLE_OVERWRITE, "上書き保存"},
    {ID_TOGGLE_FORCE_PROGRESSIVE, "プログレッシブを強制"},
    {ID_OPTIONS, "オプション設定"},
    {ID_ABOUT, "バージョン情報"},
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
};

}  // namespace

const char* commandText(int id) {
    for (const auto& [key, text] : kTexts)
        if (key == id) return text;
    return nullptr;
}

std::span<const int> toolbarLayout() { return kToolbar; }

std::span<const int> transformMenuItems() { return kTransformMenu; }

}  // namespace quill
