// The classes view follows the documented HKEY_CLASSES_ROOT rules: reads take
// the user's entries first, new keys go to the machine, values go to the
// user's key when it exists. Direct keys are simply their own row.
#include "platform/posix/registry/key_view.h"

#include <algorithm>
#include <set>

namespace pal::registry {
namespace {

const KeyPath kClassesPath = {u"Software", u"Classes"};

// The layers in the order the view reads them.
constexpr size_t kMachineLayer = 1;
constexpr KeyId kHives[kClassesLayerCount] = {kUserRoot, kMachineRoot};

// HKCU's or HKLM's Software\Classes, which every call on the classes view
// walks through: remembered by the connection from one call to the next.
std::optional<KeyId> ClassesRoot(KeyStore& db, size_t hive) {
    int64_t& remembered = db.Remembered(hive);
    if (remembered != 0 && db.KeyExists(remembered)) return remembered;
    const std::optional<KeyId> found = FindPath(db, kHives[hive], kClassesPath);
    remembered = found.value_or(0);
    return found;
}

// Follows path from start, a key that may be gone since it was seen: the key
// reached, or 0. A key found below start proves start is there, so only a
// walk that finds nothing asks whether start still is.
KeyId Follow(KeyStore& db, KeyId start, const KeyPath& path, bool& startThere) {
    if (!path.empty()) {
        if (const std::optional<KeyId> found = FindPath(db, start, path)) {
            startThere = true;
            return *found;
        }
    }
    startThere = db.KeyExists(start);
    return startThere && path.empty() ? start : 0;
}

// Each hive's key for a classes-view object (parents) and at path below it
// (layers), 0 where the hive has none. A hive's walk starts at the key the
// object saw there while that still exists, else at the classes root; one
// walk answers for a key and its parent.
struct ClassesWalk {
    ClassesLayerIds parents{};
    ClassesLayerIds layers{};
    bool ParentFound() const noexcept { return parents[0] != 0 || parents[1] != 0; }
};

ClassesWalk WalkClasses(KeyStore& db, const KeyObject& object, const KeyPath& path) {
    ClassesWalk walk;
    for (size_t hive = 0; hive < kClassesLayerCount; ++hive) {
        bool seenThere = false;
        if (const KeyId seen = object.seenLayers[hive]; seen != 0) {
            walk.layers[hive] = Follow(db, seen, path, seenThere);
            if (seenThere) walk.parents[hive] = seen;
        }
        if (seenThere) continue;
        const std::optional<KeyId> root = ClassesRoot(db, hive);
        const std::optional<KeyId> parent = root ? FindPath(db, *root, object.path) : std::nullopt;
        if (!parent) continue;
        walk.parents[hive] = *parent;
        walk.layers[hive] = FindPath(db, *parent, path).value_or(0);
    }
    return walk;
}

std::vector<KeyId> Present(const ClassesLayerIds& layers) {
    std::vector<KeyId> present;
    for (KeyId layer : layers) {
        if (layer != 0) present.push_back(layer);
    }
    return present;
}

KeyPath Joined(const KeyPath& first, const KeyPath& second) {
    KeyPath joined;
    joined.reserve(first.size() + second.size());
    joined.insert(joined.end(), first.begin(), first.end());
    joined.insert(joined.end(), second.begin(), second.end());
    return joined;
}

}  // namespace

LSTATUS ResolveLayers(KeyStore& db, const KeyObject& object, std::vector<KeyId>& layers) {
    if (!object.classesView) {
        if (!db.KeyExists(object.id)) return ERROR_KEY_DELETED;
        layers = {object.id};
        return ERROR_SUCCESS;
    }
    layers = Present(WalkClasses(db, object, {}).layers);
    return layers.empty() && !object.path.empty() ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

namespace {

// OpenBelow, and for the classes view the walk that found the child or not.
LSTATUS OpenWalking(KeyStore& db, const KeyObject& parent, const KeyPath& path, KeyObject& child,
                    std::vector<KeyId>& layers, ClassesWalk& walk) {
    if (path.empty()) {
        if (LSTATUS status = ResolveLayers(db, parent, layers); status != ERROR_SUCCESS) return status;
        child = parent;
        return ERROR_SUCCESS;
    }
    // A child found proves its parent is there; the parent is looked at only
    // to tell a missing child from a deleted parent.
    if (parent.classesView) {
        walk = WalkClasses(db, parent, path);
        layers = Present(walk.layers);
        if (layers.empty()) return walk.ParentFound() || parent.path.empty() ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
        child = KeyObject{true, 0, Joined(parent.path, path), 0, walk.layers};
        return ERROR_SUCCESS;
    }
    std::optional<KeyId> found = FindPath(db, parent.id, path);
    if (!found) return db.KeyExists(parent.id) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    layers = {*found};
    child = KeyObject{false, *found, {}, 0, {}};
    return ERROR_SUCCESS;
}

}  // namespace

LSTATUS OpenBelow(KeyStore& db, const KeyObject& parent, const KeyPath& path, KeyObject& child,
                  std::vector<KeyId>& layers) {
    ClassesWalk walk;
    return OpenWalking(db, parent, path, child, layers, walk);
}

LSTATUS CreateBelow(KeyStore& db, const KeyObject& parent, const KeyPath& path, KeyObject& child, bool& created) {
    created = false;
    std::vector<KeyId> layers;
    ClassesWalk walk;
    const LSTATUS opened = OpenWalking(db, parent, path, child, layers, walk);
    if (opened != ERROR_FILE_NOT_FOUND) return opened;
    if ((parent.access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
    if (parent.classesView) {
        // New keys go to the machine: below the machine's parent when the walk found it.
        bool ignored = false;
        KeyPath childPath = Joined(parent.path, path);
        const KeyId made = walk.parents[kMachineLayer] != 0
                               ? CreatePath(db, walk.parents[kMachineLayer], path, ignored)
                               : CreatePath(db, kMachineRoot, Joined(kClassesPath, childPath), ignored);
        ClassesLayerIds seen{};
        seen[kMachineLayer] = made;
        child = KeyObject{true, 0, std::move(childPath), 0, seen};
    } else {
        child = KeyObject{false, CreatePath(db, parent.id, path, created), {}, 0, {}};
    }
    created = true;
    return ERROR_SUCCESS;
}

LSTATUS ValueTarget(KeyStore& db, const KeyObject& object, KeyId& target) {
    std::vector<KeyId> layers;
    if (LSTATUS status = ResolveLayers(db, object, layers); status != ERROR_SUCCESS) return status;
    if (!layers.empty()) {
        target = layers.front();
    } else {
        bool ignored = false;  // the classes root before anything was registered
        target = CreatePath(db, kMachineRoot, kClassesPath, ignored);
    }
    return ERROR_SUCCESS;
}

std::vector<std::u16string> MergedSubkeys(KeyStore& db, const std::vector<KeyId>& layers) {
    if (layers.size() == 1) return db.SubkeyNames(layers.front());
    std::vector<std::pair<std::string, std::u16string>> merged;
    std::set<std::string> seen;
    for (KeyId layer : layers) {
        for (std::u16string& name : db.SubkeyNames(layer)) {
            std::string folded = FoldedName(name);
            if (seen.insert(folded).second) merged.emplace_back(std::move(folded), std::move(name));
        }
    }
    std::sort(merged.begin(), merged.end());
    std::vector<std::u16string> names;
    names.reserve(merged.size());
    for (auto& entry : merged) names.push_back(std::move(entry.second));
    return names;
}

std::vector<StoredValue> MergedValues(KeyStore& db, const std::vector<KeyId>& layers) {
    if (layers.size() == 1) return db.Values(layers.front());
    std::vector<StoredValue> merged;
    std::set<std::string> seen;
    for (KeyId layer : layers) {
        for (StoredValue& value : db.Values(layer)) {
            if (seen.insert(FoldedName(value.name)).second) merged.push_back(std::move(value));
        }
    }
    return merged;
}

LSTATUS FindMergedValue(KeyStore& db, const KeyObject& object, std::u16string_view name, StoredValue& value) {
    // A key's deletion takes its values with it, so a value found proves the
    // key is there: the usual read is one query.
    if (!object.classesView) {
        if (std::optional<StoredValue> found = db.FindValue(object.id, name)) {
            value = std::move(*found);
            return ERROR_SUCCESS;
        }
        return db.KeyExists(object.id) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    }
    std::vector<KeyId> layers;
    if (LSTATUS resolved = ResolveLayers(db, object, layers); resolved != ERROR_SUCCESS) return resolved;
    for (KeyId layer : layers) {
        if (std::optional<StoredValue> found = db.FindValue(layer, name)) {
            value = std::move(*found);
            return ERROR_SUCCESS;
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

}  // namespace pal::registry
