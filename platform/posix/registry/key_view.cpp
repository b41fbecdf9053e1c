// The classes view follows the documented HKEY_CLASSES_ROOT rules: reads take
// the user's entries first, new keys go to the machine, values go to the
// user's key when it exists. Direct keys are simply their own row.
#include "platform/posix/registry/key_view.h"

#include <algorithm>
#include <set>

namespace pal::registry {
namespace {

const KeyPath kClassesPath = {u"Software", u"Classes"};

std::vector<KeyId> ClassesLayers(Connection& db, const KeyPath& path) {
    std::vector<KeyId> layers;
    for (KeyId hive : {kUserRoot, kMachineRoot}) {
        std::optional<KeyId> classes = FindPath(db, hive, kClassesPath);
        if (classes) classes = FindPath(db, *classes, path);
        if (classes) layers.push_back(*classes);
    }
    return layers;
}

KeyPath Joined(const KeyPath& first, const KeyPath& second) {
    KeyPath joined = first;
    joined.insert(joined.end(), second.begin(), second.end());
    return joined;
}

}  // namespace

LSTATUS ResolveLayers(Connection& db, const KeyObject& object, std::vector<KeyId>& layers) {
    if (!object.classesView) {
        if (!KeyExists(db, object.id)) return ERROR_KEY_DELETED;
        layers = {object.id};
        return ERROR_SUCCESS;
    }
    layers = ClassesLayers(db, object.path);
    return layers.empty() && !object.path.empty() ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

LSTATUS OpenBelow(Connection& db, const KeyObject& parent, const KeyPath& path, KeyObject& child) {
    std::vector<KeyId> layers;
    if (LSTATUS status = ResolveLayers(db, parent, layers); status != ERROR_SUCCESS) return status;
    if (path.empty()) {
        child = parent;
        return ERROR_SUCCESS;
    }
    if (parent.classesView) {
        KeyPath childPath = Joined(parent.path, path);
        if (ClassesLayers(db, childPath).empty()) return ERROR_FILE_NOT_FOUND;
        child = KeyObject{true, 0, std::move(childPath), 0};
        return ERROR_SUCCESS;
    }
    std::optional<KeyId> found = FindPath(db, parent.id, path);
    if (!found) return ERROR_FILE_NOT_FOUND;
    child = KeyObject{false, *found, {}, 0};
    return ERROR_SUCCESS;
}

LSTATUS CreateBelow(Connection& db, const KeyObject& parent, const KeyPath& path, KeyObject& child, bool& created) {
    created = false;
    const LSTATUS opened = OpenBelow(db, parent, path, child);
    if (opened != ERROR_FILE_NOT_FOUND) return opened;
    if ((parent.access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
    if (parent.classesView) {
        bool ignored = false;
        CreatePath(db, kMachineRoot, Joined(kClassesPath, Joined(parent.path, path)), ignored);
        child = KeyObject{true, 0, Joined(parent.path, path), 0};
    } else {
        child = KeyObject{false, CreatePath(db, parent.id, path, created), {}, 0};
    }
    created = true;
    return ERROR_SUCCESS;
}

LSTATUS ValueTarget(Connection& db, const KeyObject& object, KeyId& target) {
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

std::vector<std::u16string> MergedSubkeys(Connection& db, const std::vector<KeyId>& layers) {
    if (layers.size() == 1) return SubkeyNames(db, layers.front());
    std::vector<std::pair<std::string, std::u16string>> merged;
    std::set<std::string> seen;
    for (KeyId layer : layers) {
        for (std::u16string& name : SubkeyNames(db, layer)) {
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

std::vector<StoredValue> MergedValues(Connection& db, const std::vector<KeyId>& layers) {
    if (layers.size() == 1) return Values(db, layers.front());
    std::vector<StoredValue> merged;
    std::set<std::string> seen;
    for (KeyId layer : layers) {
        for (StoredValue& value : Values(db, layer)) {
            if (seen.insert(FoldedName(value.name)).second) merged.push_back(std::move(value));
        }
    }
    return merged;
}

LSTATUS FindMergedValue(Connection& db, const KeyObject& object, std::u16string_view name, StoredValue& value) {
    // A key's deletion takes its values with it, so a value found proves the
    // key is there: the usual read is one query.
    if (!object.classesView) {
        if (std::optional<StoredValue> found = FindValue(db, object.id, name)) {
            value = std::move(*found);
            return ERROR_SUCCESS;
        }
        return KeyExists(db, object.id) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    }
    std::vector<KeyId> layers;
    if (LSTATUS resolved = ResolveLayers(db, object, layers); resolved != ERROR_SUCCESS) return resolved;
    for (KeyId layer : layers) {
        if (std::optional<StoredValue> found = FindValue(db, layer, name)) {
            value = std::move(*found);
            return ERROR_SUCCESS;
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

}  // namespace pal::registry
