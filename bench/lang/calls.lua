local start = os.clock()
local function step(acc, i, k, m)
    return (acc + i * k) % m
end
local acc = 0
for i = 0, 2999999 do acc = step(acc, i, 7, 1000003) end
print(acc, os.clock() - start)
