local start = os.clock()
local n = 100000
local seed = 42
local data = {}
for i = 0, n - 1 do
    seed = (seed * 16807) % 2147483647
    data[i] = seed % 1000000
end
local function mergeSort(a, tmp, lo, hi)
    if hi - lo < 2 then return nil end
    local mid = (lo + hi) // 2
    mergeSort(a, tmp, lo, mid)
    mergeSort(a, tmp, mid, hi)
    local i, j, k = lo, mid, lo
    while i < mid and j < hi do
        if a[i] <= a[j] then tmp[k] = a[i]; i = i + 1
        else tmp[k] = a[j]; j = j + 1 end
        k = k + 1
    end
    while i < mid do tmp[k] = a[i]; i = i + 1; k = k + 1 end
    while j < hi do tmp[k] = a[j]; j = j + 1; k = k + 1 end
    for k = lo, hi - 1 do a[k] = tmp[k] end
end
local function siftDown(a, start, stop)
    local root = start
    while root * 2 + 1 <= stop do
        local child = root * 2 + 1
        if child + 1 <= stop and a[child] < a[child + 1] then child = child + 1 end
        if a[root] < a[child] then
            a[root], a[child] = a[child], a[root]
            root = child
        else
            return nil
        end
    end
end
local function heapSort(a, count)
    for start = (count - 2) // 2, 0, -1 do siftDown(a, start, count - 1) end
    for stop = count - 1, 1, -1 do
        a[stop], a[0] = a[0], a[stop]
        siftDown(a, 0, stop - 1)
    end
end
local merged, heaped, tmp = {}, {}, {}
for i = 0, n - 1 do merged[i] = data[i]; heaped[i] = data[i]; tmp[i] = 0 end
mergeSort(merged, tmp, 0, n)
heapSort(heaped, n)
local same = 0
for i = 1, n - 1 do if merged[i - 1] <= merged[i] and merged[i] == heaped[i] then same = same + 1 end end
print(same .. ":" .. merged[0] .. ":" .. merged[n - 1], os.clock() - start)
