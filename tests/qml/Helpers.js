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

// WCAG 2 relative luminance and contrast ratio of two opaque colours.
function luminance(c) {
    const channel = v => v <= 0.04045 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4)
    return 0.2126 * channel(c.r) + 0.7152 * channel(c.g) + 0.0722 * channel(c.b)
}

function contrast(a, b) {
    const la = luminance(a), lb = luminance(b)
    return (Math.max(la, lb) + 0.05) / (Math.min(la, lb) + 0.05)
}
