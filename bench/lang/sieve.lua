local start = os.clock()
local n = 1000000
local composite = {}
for i = 0, n do composite[i + 1] = false end
local count = 0
for i = 2, n do
    if not composite[i + 1] then
        count = count + 1
        for j = i * i, n, i do composite[j + 1] = true end
    end
end
print(count, os.clock() - start)
