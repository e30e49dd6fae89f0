.pragma library

// Depth-first search through an item's children and resources for the first object that passes.
function findChild(object, predicate) {
    const list = object.data !== undefined ? object.data : (object.children !== undefined ? object.children : [])
    for (let i = 0; i < list.length; ++i) {
        const child = list[i]
        if (!child)
            continue
        if (predicate(child))
            return child
        const deeper = findChild(child, predicate)
        if (deeper)
            return deeper
    }
    return null
}

function hasProperty(name) {
    return child => child[name] !== undefined
}
