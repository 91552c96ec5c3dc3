local start = os.clock()
-- A merge sort as a user writes it first: each half copied into a table of its own,
-- sorted, and merged into a new one.
local function mergeSort(a)
    local n = #a
    if n <= 1 then return a end
    local mid = n // 2
    local left, right = {}, {}
    for i = 1, mid do left[#left + 1] = a[i] end
    for i = mid + 1, n do right[#right + 1] = a[i] end
    left = mergeSort(left)
    right = mergeSort(right)
    local out = {}
    local i, j = 1, 1
    while i <= #left and j <= #right do
        if left[i] <= right[j] then
            out[#out + 1] = left[i]
            i = i + 1
        else
            out[#out + 1] = right[j]
            j = j + 1
        end
    end
    while i <= #left do
        out[#out + 1] = left[i]
        i = i + 1
    end
    while j <= #right do
        out[#out + 1] = right[j]
        j = j + 1
    end
    return out
end
local data = {}
local seed = 7
for i = 1, 100000 do
    seed = (seed * 16807) % 2147483647
    data[#data + 1] = seed % 1000000
end
local sorted = mergeSort(data)
local ordered = 0
for i = 2, #sorted do if sorted[i - 1] <= sorted[i] then ordered = ordered + 1 end end
print(ordered .. ":" .. sorted[1] .. ":" .. sorted[#sorted], os.clock() - start)
